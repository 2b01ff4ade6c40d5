#pragma once

#include <QByteArray>
#include <QString>

// The wire and the data files carry 8-bit text: every character goes out as
// its low 8 bits and every byte comes back as the character of that value.
// QString::toLatin1() is not the same: it turns characters above 255 into '?'.

inline QByteArray ToBytes(const QString& text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        bytes[i] = static_cast<char>(text.at(i).unicode() & 0xFF);
    return bytes;
}

inline QString FromBytes(const QByteArray& bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = QChar(static_cast<unsigned char>(bytes.at(i)));
    return text;
}
