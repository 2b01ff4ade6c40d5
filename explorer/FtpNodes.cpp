#include "FtpNodes.h"

#include "NodeImages.h"

#include "ftp/FtpProtocol.h"
#include "resources/StringTable.h"

namespace {

// "2024-06-07 21:22" in the server's clock; a time the listing gave in UTC
// says so.
QString FtpTimeText(const CFtpListEntry& entry)
{
    QString text = FtpEntryTimeText(entry).replace(QLatin1Char('T'), QLatin1Char(' '));
    if (text.endsWith(QLatin1Char('Z')))
        text = text.chopped(1) + QStringLiteral(" UTC");
    return text;
}

} // namespace

CNodeTemplate FtpPlaceholder()
{
    return CNodeTemplate{LoadString(IDS_PLACEHOLDER), CNodeImages::IMG_FILE, CNodeData(), {}, {}};
}

QList<CNodeTemplate> FtpNodes(const QList<CFtpListEntry>& entries)
{
    QList<CNodeTemplate> nodes;
    nodes.reserve(entries.size());
    const CNodeTemplate placeholder = FtpPlaceholder();
    for (const bool folders : {true, false}) {
        for (const CFtpListEntry& entry : entries) {
            if (entry.m_bFolder != folders)
                continue;
            CNodeTemplate node;
            node.m_strLabel = entry.m_strName;
            node.m_nImage = folders ? CNodeImages::IMG_FOLDER : CNodeImages::IMG_FILE;
            if (!folders)
                node.m_strToolTip = FileToolTip(entry.m_nSize, FtpTimeText(entry));
            if (IsSafeFtpName(entry.m_strName)) {
                node.m_data = {folders ? NK_FTP_FOLDER : NK_FTP_FILE, 0, false};
                if (folders)
                    node.m_children.append(placeholder);
            }
            nodes.append(node);
        }
    }
    return nodes;
}

bool IsFtpSendableName(const QString& name)
{
    for (const QChar c : name) {
        if (c.unicode() == 0 || c.unicode() > 0xFF || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return false;
    }
    return true;
}
