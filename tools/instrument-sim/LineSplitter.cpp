#include "LineSplitter.h"

QList<CLineSplitter::CSplitLine> CLineSplitter::Feed(const QByteArray& chunk)
{
    QList<CSplitLine> lines;
    for (int i = 0; i < chunk.size(); ++i) {
        const char b = chunk.at(i);
        if (b == '\n' && m_pending.endsWith('\r')) {
            CSplitLine line;
            line.m_bytes = m_pending.left(m_pending.size() - 1);
            line.m_nEndOffset = i + 1;
            line.m_bOverlong = m_bDiscarding;
            if (m_bDiscarding)
                line.m_bytes.clear();
            lines.append(line);
            m_pending.clear();
            m_bDiscarding = false;
            continue;
        }
        m_pending.append(b);
        if (m_pending.size() > MaxLine) {
            // Keep only the last byte so a CR LF across the cut is still seen.
            m_bDiscarding = true;
            m_pending = m_pending.right(1);
        }
    }
    return lines;
}

void CLineSplitter::Clear()
{
    m_pending.clear();
    m_bDiscarding = false;
}
