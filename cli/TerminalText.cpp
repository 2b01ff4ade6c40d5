#include "TerminalText.h"

#include "platform/Bytes.h"

#include <QStringDecoder>

namespace {

bool IsControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

QString Escaped(char32_t c)
{
    return QStringLiteral("\\x%1").arg(static_cast<uint>(c), 2, 16, QLatin1Char('0'));
}

} // namespace

QString TerminalText(const QString& text)
{
    QString shown;
    shown.reserve(text.size());
    for (QChar c : text) {
        // Line breaks and tabs of a message stay; a CR could overwrite a line.
        const bool keep = c == u'\n' || c == u'\t' || !IsControl(c.unicode());
        shown += keep ? QString(c) : Escaped(c.unicode());
    }
    return shown;
}

QByteArray TerminalName(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    QString shown;
    if (decoder.hasError()) {
        for (char byte : bytes) {
            const auto c = static_cast<unsigned char>(byte);
            shown += c >= 0x7F || c < 0x20 ? Escaped(c) : c == '\\' ? QStringLiteral("\\\\") : QString(QChar(c));
        }
        return shown.toUtf8();
    }
    for (QChar c : text)
        shown += IsControl(c.unicode()) ? Escaped(c.unicode()) : c == u'\\' ? QStringLiteral("\\\\") : QString(c);
    return shown.toUtf8();
}

QByteArray InstrumentText(const QString& text)
{
    return TerminalName(ToBytes(text));
}
