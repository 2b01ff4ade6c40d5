#include "FtpFeatures.h"

namespace {

QByteArray WithoutLineEnd(QByteArray line)
{
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

CFtpFeatures ParseFtpFeatures(const QList<QByteArray>& lines)
{
    CFtpFeatures features;
    if (lines.isEmpty() || !lines.first().startsWith("211"))
        return features;
    features.m_bKnown = true;
    // The first and the last line carry the code and free text; the lines in
    // between are features.
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QByteArray line = WithoutLineEnd(lines.at(i)).trimmed();
        const qsizetype space = line.indexOf(' ');
        const QByteArray name = (space < 0 ? line : line.left(space)).toUpper();
        if (name.isEmpty())
            continue;
        features.m_names.append(QString::fromLatin1(name));
        if (name == "MLST" || name == "MLSD")
            features.m_bMlsd = true;
        else if (name == "UTF8")
            features.m_bUtf8 = true;
    }
    return features;
}
