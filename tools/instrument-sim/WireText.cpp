#include "WireText.h"

QByteArray ToWire(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (QChar c : text)
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
    return bytes;
}

QString FromWire(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char b : bytes)
        text.append(QChar(static_cast<unsigned char>(b)));
    return text;
}

QByteArray EscapeBytes(const QByteArray& bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == '\r')
            out += "\\r";
        else if (b == '\n')
            out += "\\n";
        else if (b == '\\')
            out += "\\\\";
        else if (b >= 0x20 && b < 0x7F)
            out += ch;
        else {
            out += "\\x";
            out += hex[b >> 4];
            out += hex[b & 0xF];
        }
    }
    return out;
}
