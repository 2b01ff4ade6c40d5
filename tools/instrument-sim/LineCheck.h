#pragma once

#include <QString>

#include <termios.h>

// The line settings the instrument listens at. The handheld is heard only
// while its end of the line is set to them; at other settings its bytes
// would arrive garbled, so the instrument ignores them.
//
// A Linux pseudo-terminal keeps the speed, the odd-parity flag and the stop
// bits of what the handheld sets, but forces 8 data bits and clears the
// parity-enable flag. So on it 7E1, 8E1 and 8N1 look the same; odd parity,
// two stop bits and the speed can be told apart.
struct CLineSettings
{
    int m_nBaud = 0;
    int m_nDataBits = 8;
    char m_cParity = 'N'; // N, E or O
    int m_nStopBits = 1;  // 1 or 2
};

// "BAUD,FRAMING" such as "38400,7E1": a speed of the standard list, data
// bits 7 or 8, parity N, E or O, stop bits 1 or 2. False for anything else.
bool ParseLineSettings(const QString& text, CLineSettings& settings);

// The speed a terminal setting stands for, 0 for one outside the standard list.
int TerminalSpeed(speed_t speed);

// Whether the terminal settings, as far as the pseudo-terminal keeps them,
// are the instrument's.
bool LineMatches(const termios& tio, const CLineSettings& settings);
