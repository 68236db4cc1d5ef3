#include "gateway/addresslist.h"

#include <QStringList>

#include <bitset>

namespace {

// Plain decimal digits only: toInt() would also take "+3" and " 3".
bool toAddress(const QString& text, int* value)
{
    if (text.isEmpty() || text.size() > 3)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    *value = text.toInt();
    return *value <= MaxEnergizerAddress;
}

} // namespace

bool parseAddressList(const QString& text, QVector<int>* addresses, QString* error)
{
    const QString range = QStringLiteral("0..%1").arg(MaxEnergizerAddress);
    if (text.trimmed().isEmpty()) {
        *error = QStringLiteral("no addresses given (e.g. 1-12,15)");
        return false;
    }
    std::bitset<MaxEnergizerAddress + 1> seen;
    for (const QString& rawItem : text.split(QLatin1Char(','))) {
        const QString item = rawItem.trimmed();
        if (item.isEmpty()) {
            *error = QStringLiteral("empty item in address list '%1'").arg(text);
            return false;
        }
        const int dash = item.indexOf(QLatin1Char('-'));
        int first = 0;
        int last = 0;
        if (dash < 0) {
            if (!toAddress(item, &first)) {
                *error = QStringLiteral("address '%1' is not in %2").arg(item, range);
                return false;
            }
            last = first;
        } else {
            const QString from = item.left(dash).trimmed();
            const QString to = item.mid(dash + 1).trimmed();
            if (!toAddress(from, &first) || !toAddress(to, &last)) {
                *error = QStringLiteral("range '%1' is not FIRST-LAST within %2").arg(item, range);
                return false;
            }
            if (first > last) {
                *error = QStringLiteral("range '%1' runs backwards").arg(item);
                return false;
            }
        }
        for (int a = first; a <= last; ++a) {
            if (seen.test(std::size_t(a))) {
                *error = QStringLiteral("address %1 listed twice").arg(a);
                return false;
            }
            seen.set(std::size_t(a));
        }
    }
    addresses->clear();
    for (int a = 0; a <= MaxEnergizerAddress; ++a) {
        if (seen.test(std::size_t(a)))
            addresses->append(a);
    }
    return true;
}
