#include "LineCheck.h"

#include <QRegularExpression>

namespace {

struct CSpeed
{
    speed_t m_code;
    int m_nBaud;
};

const CSpeed kSpeeds[] = {{B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
                          {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};

} // namespace

int TerminalSpeed(speed_t speed)
{
    for (const CSpeed& entry : kSpeeds) {
        if (entry.m_code == speed)
            return entry.m_nBaud;
    }
    return 0;
}

bool ParseLineSettings(const QString& text, CLineSettings& settings)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{3,6}),([78])([NEO])([12])$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    const int baud = match.captured(1).toInt();
    bool known = false;
    for (const CSpeed& entry : kSpeeds)
        known = known || entry.m_nBaud == baud;
    if (!known)
        return false;
    settings.m_nBaud = baud;
    settings.m_nDataBits = match.captured(2).toInt();
    settings.m_cParity = match.captured(3).at(0).toLatin1();
    settings.m_nStopBits = match.captured(4).toInt();
    return true;
}

bool LineMatches(const termios& tio, const CLineSettings& settings)
{
    // Only what the pseudo-terminal keeps (see the header).
    return TerminalSpeed(cfgetospeed(&tio)) == settings.m_nBaud
        && ((tio.c_cflag & PARODD) != 0) == (settings.m_cParity == 'O')
        && ((tio.c_cflag & CSTOPB) != 0) == (settings.m_nStopBits == 2);
}
