#pragma once

#include <QByteArray>
#include <QString>

// Text from a server, an instrument or a file may hold escape sequences that
// a terminal would obey. Before anything such reaches stdout or stderr, every
// control character (C0, DEL and C1) but LF and TAB is shown as \xNN.
QString TerminalText(const QString& text);

// A name received as bytes, for a listing on stdout: valid UTF-8 stays as it
// is, any other byte above 0x7F is shown as \xNN, control characters as in
// TerminalText, and "\" as "\\", so that every name reads back unambiguously.
QByteArray TerminalName(const QByteArray& bytes);

// A name the instrument sent, one byte per character, for one field of a line
// on stdout: as TerminalName shows the bytes, so tabs and line breaks in it
// cannot split the line.
QByteArray InstrumentText(const QString& text);
