#include "NetworkPresence.h"

#include <QHostAddress>
#include <QNetworkInterface>

bool IsRoutableIPv4(quint32 address)
{
    const quint32 first = address >> 24;
    const quint32 second = (address >> 16) & 0xFF;
    if (address == 0 || first == 10 || first == 127)
        return false;
    if (first == 172 && second >= 16 && second <= 31)
        return false;
    if (first == 192 && second == 168)
        return false;
    if (first == 169 && second == 254)
        return false;
    return true;
}

bool AnyRoutableIPv4(const QList<quint32>& addresses)
{
    for (quint32 address : addresses) {
        if (IsRoutableIPv4(address))
            return true;
    }
    return false;
}

bool HasRoutableAddress()
{
    QList<quint32> addresses;
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        bool ok = false;
        const quint32 ipv4 = address.toIPv4Address(&ok);
        if (ok)
            addresses.append(ipv4);
    }
    return AnyRoutableIPv4(addresses);
}
