#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// Whether this machine can already reach a network without dialling: true
// when one of its IPv4 interface addresses is neither private (10/8,
// 172.16/12, 192.168/16), link-local (169.254/16) nor loopback (all of
// 127/8). The addresses come from the interfaces, not from a look-up of the
// host name, which often names only 127.0.1.1.
bool HasRoutableAddress();

// The rule itself, for one address in host byte order.
bool IsRoutableIPv4(quint32 address);

// The rule over a list of addresses.
bool AnyRoutableIPv4(const QList<quint32>& addresses);
