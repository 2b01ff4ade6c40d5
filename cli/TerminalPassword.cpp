#include "TerminalPassword.h"

#include <cstdio>
#include <string>

#include <termios.h>
#include <unistd.h>

bool ReadPasswordFromTerminal(const QString& prompt, QByteArray& password)
{
    if (!isatty(STDIN_FILENO))
        return false;
    termios saved{};
    if (tcgetattr(STDIN_FILENO, &saved) != 0)
        return false;
    termios silent = saved;
    silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    silent.c_lflag |= ECHONL;
    // Echo goes off before the prompt shows: nothing typed after it appears.
    if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent) != 0)
        return false;
    std::fprintf(stderr, "%s", qPrintable(prompt));
    std::fflush(stderr);
    std::string line;
    bool ended = false;
    // A password longer than this is not typed by hand.
    for (char c = 0; line.size() < 4096 && read(STDIN_FILENO, &c, 1) == 1;) {
        if (c == '\n') {
            ended = true;
            break;
        }
        line.push_back(c);
    }
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    password = QByteArray::fromStdString(line);
    return ended;
}
