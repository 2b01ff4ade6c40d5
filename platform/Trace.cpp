#include "Trace.h"

#include "Services.h"

namespace {

void Put(const char* prefix, const QString& text)
{
    CTrace& trace = CServices::Trace();
    if (trace.IsOn())
        trace.Record(QLatin1String(prefix) + text);
}

} // namespace

QString CTrace::Escape(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        if (value >= 0x20 && value < 0x7F && value != '\\')
            text += QLatin1Char(byte);
        else
            text += QStringLiteral("\\x") + QString::number(value, 16).rightJustified(2, QLatin1Char('0')).toUpper();
    }
    return text;
}

QString CTrace::MaskFtpCommand(QByteArrayView line)
{
    // The server reads the command word in any case; so does the mask. The
    // line end stays visible.
    const QByteArray word = line.first(qMin<qsizetype>(line.size(), 5)).toByteArray().toUpper();
    if (word != "PASS " && word != "ACCT ")
        return Escape(line);
    qsizetype end = 5;
    while (end < line.size() && line[end] != '\r' && line[end] != '\n')
        ++end;
    return Escape(line.first(5)) + QStringLiteral("****") + Escape(line.sliced(end));
}

void CTrace::SerialSent(QByteArrayView bytes)
{
    if (CServices::Trace().IsOn())
        Put("COM > ", Escape(bytes));
}

void CTrace::SerialReceived(QByteArrayView bytes, bool timedOut)
{
    if (!CServices::Trace().IsOn())
        return;
    if (bytes.isEmpty() && timedOut)
        Put("COM < ", QStringLiteral("(nothing within the time-out)"));
    else
        Put("COM < ", Escape(bytes) + (timedOut ? QStringLiteral(" (then nothing within the time-out)") : QString()));
}

void CTrace::FtpSent(QByteArrayView line)
{
    if (CServices::Trace().IsOn())
        Put("FTP > ", MaskFtpCommand(line));
}

void CTrace::FtpReceived(QByteArrayView line)
{
    if (CServices::Trace().IsOn())
        Put("FTP < ", Escape(line));
}

void CTrace::Note(const QString& text)
{
    if (!text.isEmpty())
        Put("--- ", text);
}
