#include "protocol/addresslist.h"
#include "protocol/refuse.h"

#include <QStringList>

#include <algorithm>

namespace {

bool parseAddress(const QString& text, int* address, QString* error)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        return refuse(error, QStringLiteral("'%1' is not an address").arg(text.trimmed()));
    if (value < MinEnergizerAddress || value > MaxEnergizerAddress)
        return refuse(error, QStringLiteral("address %1 is outside %2..%3").arg(value).arg(MinEnergizerAddress).arg(MaxEnergizerAddress));
    *address = value;
    return true;
}

} // namespace

bool parseAddressList(const QString& text, QVector<int>* addresses, QString* error, bool allowRepeats)
{
    QVector<int> out;
    const QStringList items = text.split(QLatin1Char(','));
    for (const QString& item : items) {
        if (item.trimmed().isEmpty())
            return refuse(error, QStringLiteral("empty item in the address list '%1'").arg(text));
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
            return refuse(error, QStringLiteral("range %1 runs backwards").arg(item.trimmed()));
        }
        for (int a = first; a <= last; ++a) {
            if (out.contains(a) && !allowRepeats)
                return refuse(error, QStringLiteral("address %1 is listed twice").arg(a));
            out << a;
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    *addresses = out;
    return true;
}
