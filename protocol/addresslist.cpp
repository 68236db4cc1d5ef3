#include "protocol/addresslist.h"

#include <QStringList>

#include <algorithm>

namespace {

bool parseAddress(const QString& text, int* address, QString* error)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok) {
        *error = QStringLiteral("'%1' is not an address").arg(text.trimmed());
        return false;
    }
    if (value < MinEnergizerAddress || value > MaxEnergizerAddress) {
        *error = QStringLiteral("address %1 is outside %2..%3").arg(value).arg(MinEnergizerAddress).arg(MaxEnergizerAddress);
        return false;
    }
    *address = value;
    return true;
}

} // namespace

bool parseAddressList(const QString& text, QVector<int>* addresses, QString* error, bool allowRepeats)
{
    QVector<int> out;
    const QStringList items = text.split(QLatin1Char(','));
    for (const QString& item : items) {
        if (item.trimmed().isEmpty()) {
            *error = QStringLiteral("empty item in the address list '%1'").arg(text);
            return false;
        }
        const int dash = item.indexOf(QLatin1Char('-'));
        int first = 0;
        int last = 0;
        if (dash < 0) {
            if (!parseAddress(item, &first, error))
                return false;
            last = first;
        } else if (!parseAddress(item.left(dash), &first, error) || !parseAddress(item.mid(dash + 1), &last, error)) {
            return false;
        } else if (last < first) {
            *error = QStringLiteral("range %1 runs backwards").arg(item.trimmed());
            return false;
        }
        for (int a = first; a <= last; ++a) {
            if (out.contains(a) && !allowRepeats) {
                *error = QStringLiteral("address %1 is listed twice").arg(a);
                return false;
            }
            out << a;
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    *addresses = out;
    return true;
}
