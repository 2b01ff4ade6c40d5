#include "FtpNodes.h"

#include "NodeImages.h"

#include "ftp/FtpProtocol.h"
#include "resources/StringTable.h"

CNodeTemplate FtpPlaceholder()
{
    return CNodeTemplate{LoadString(IDS_PLACEHOLDER), CNodeImages::IMG_FILE, CNodeData(), {}};
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
