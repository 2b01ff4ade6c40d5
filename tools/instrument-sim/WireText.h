#pragma once

#include <QByteArray>
#include <QString>

// Text on the serial line is 8-bit: a character goes out as its low 8 bits
// and a received byte becomes the character of the same value.
QByteArray ToWire(const QString& text);
QString FromWire(const QByteArray& bytes);

// Printable form of raw bytes for the transcript: "\r", "\n", "\\" and
// "\xHH" for every other byte outside 0x20..0x7E.
QByteArray EscapeBytes(const QByteArray& bytes);
