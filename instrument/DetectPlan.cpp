#include "DetectPlan.h"

#include "ComSettings.h"

#include <QRegularExpression>

#include <algorithm>

namespace DetectPlan {

const QList<qint32>& Speeds()
{
    static const QList<qint32> speeds{9600, 19200, 38400, 57600, 115200, 4800, 2400, 1200};
    return speeds;
}

const QList<CLineTry>& Framings()
{
    // 8N1 is by far the most common; 7 data bits come with even or odd
    // parity; a few instruments use 8 bits with even parity or two stop bits.
    static const QList<CLineTry> framings{
        {0, 8, 0, 0}, {0, 7, 2, 0}, {0, 7, 1, 0}, {0, 8, 2, 0}, {0, 8, 0, 2},
    };
    return framings;
}

QList<CLineTry> LineOrder(const CComSettings& current)
{
    QList<CLineTry> order;
    // Settings a port could take; a record with an empty list (0) is left out.
    if (current.BaudRate > 0 && current.ByteSize >= 5 && current.ByteSize <= 8 && current.Parity <= 4
        && current.StopBits <= 2)
        order.append({current.BaudRate, current.ByteSize, current.Parity, current.StopBits});
    for (qint32 speed : Speeds()) {
        for (CLineTry line : Framings()) {
            line.BaudRate = speed;
            if (!order.contains(line))
                order.append(line);
        }
    }
    return order;
}

QString FramingText(const CLineTry& line)
{
    static const char parities[] = {'N', 'O', 'E', 'M', 'S'};
    const QChar parity = line.Parity < sizeof parities ? QLatin1Char(parities[line.Parity]) : QLatin1Char('?');
    static const char* const stopBits[] = {"1", "1.5", "2"};
    const QString stop = line.StopBits < 3 ? QLatin1String(stopBits[line.StopBits]) : QStringLiteral("?");
    return QString::number(line.ByteSize) + parity + stop;
}

namespace {

// Group of a present device (0 USB, 1 ACM, 2 built-in) and its number; -1
// for a device of none of these kinds.
int Group(const QString& path, int& number)
{
    static const QRegularExpression pattern(QStringLiteral("^/dev/tty(USB|ACM|S)(\\d{1,6})$"));
    const QRegularExpressionMatch match = pattern.match(path);
    if (!match.hasMatch())
        return -1;
    number = match.captured(2).toInt();
    const QString kind = match.captured(1);
    return kind == QLatin1String("USB") ? 0 : kind == QLatin1String("ACM") ? 1 : 2;
}

} // namespace

QList<CCandidate> OrderCandidates(int currentPort, const QString& currentPath, const QList<CCandidate>& mapped,
                                  const QStringList& present, const std::function<QString(const QString&)>& canonical)
{
    QList<CCandidate> order;
    QStringList seen;
    const auto add = [&](const CCandidate& candidate) {
        const QString key = canonical(candidate.m_strPath);
        if (candidate.m_strPath.isEmpty() || seen.contains(key))
            return;
        seen.append(key);
        order.append(candidate);
    };
    add({currentPath, currentPort});
    for (const CCandidate& candidate : mapped)
        add(candidate);

    struct CPresent
    {
        int m_nGroup;
        int m_nNumber;
        QString m_strPath;
    };
    QList<CPresent> devices;
    for (const QString& path : present) {
        int number = 0;
        const int group = Group(path, number);
        if (group >= 0)
            devices.append({group, number, path});
    }
    std::sort(devices.begin(), devices.end(), [](const CPresent& a, const CPresent& b) {
        return a.m_nGroup != b.m_nGroup ? a.m_nGroup < b.m_nGroup : a.m_nNumber < b.m_nNumber;
    });
    const auto portTaken = [&](int port) {
        return port == currentPort
            || std::any_of(mapped.begin(), mapped.end(), [port](const CCandidate& c) { return c.m_nComPort == port; });
    };
    for (const CPresent& device : devices) {
        const int port = device.m_nGroup == 2 && !portTaken(device.m_nNumber + 1) ? device.m_nNumber + 1 : 0;
        add({device.m_strPath, port});
    }
    return order;
}

} // namespace DetectPlan
