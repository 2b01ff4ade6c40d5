#pragma once

#include <QByteArray>
#include <QString>

// Asks for a password on the terminal that stdin is, without echo, and
// gives the bytes typed. False when stdin is not a terminal or the line did
// not end.
bool ReadPasswordFromTerminal(const QString& prompt, QByteArray& password);
