#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class CComSettings;

// The order in which the instrument search tries devices and line settings:
// pure functions, so that the order can be checked without any device.
namespace DetectPlan {

// One combination of line settings. The end mark is not part of it: every
// try tells it from how the instrument ends its reply.
struct CLineTry
{
    qint32 BaudRate = 0;
    quint8 ByteSize = 8;
    quint8 Parity = 0;   // 0 none, 1 odd, 2 even
    quint8 StopBits = 0; // 0 one, 1 one and a half, 2 two

    bool operator==(const CLineTry& other) const = default;
};

// A device to search and the port number that reaches it ("COM<n>:"), 0 when
// no port of the profile leads to it.
struct CCandidate
{
    QString m_strPath;
    int m_nComPort = 0;

    bool operator==(const CCandidate& other) const = default;
};

// The speeds in the order they are tried: the common ones first.
const QList<qint32>& Speeds();
// The framings instruments use, tried at each speed: 8N1, 7E1, 7O1, 8E1, 8N2.
const QList<CLineTry>& Framings();

// The current settings first (when they are settings a port could take),
// then every speed with every framing; nothing twice.
QList<CLineTry> LineOrder(const CComSettings& current);

// "8N1", "7E1", "8N1.5": data bits, parity letter, stop bits.
QString FramingText(const CLineTry& line);

// Devices in search order, each once (compared by canonical(path)): the
// current port's device, the other ports of the profile in their order, then
// the devices present: USB adapters (ttyUSB), modems and CDC devices (ttyACM),
// built-in ports (ttyS), each group by its number. present holds full paths;
// anything else in it is left out. A present ttyS<k> is reached by port k+1
// unless the profile gives that port another device.
QList<CCandidate> OrderCandidates(int currentPort, const QString& currentPath, const QList<CCandidate>& mapped,
                                  const QStringList& present, const std::function<QString(const QString&)>& canonical);

} // namespace DetectPlan
