#pragma once

#include <QByteArray>
#include <QList>

// Cuts the byte stream from the handheld into lines. The handheld ends every
// line with CR LF; a lone CR or LF belongs to the line's data (files sent
// byte for byte may hold them). Lines are returned without the CR LF.
class CLineSplitter
{
public:
    // Longest line kept; a longer one is reported as overlong and dropped.
    static constexpr int MaxLine = 8192;

    struct CSplitLine
    {
        QByteArray m_bytes;
        int m_nEndOffset = 0; // offset in the fed chunk just after the line's LF
        bool m_bOverlong = false;
    };

    QList<CSplitLine> Feed(const QByteArray& chunk);
    void Clear();
    bool HasPartial() const { return !m_pending.isEmpty() || m_bDiscarding; }

private:
    QByteArray m_pending;
    bool m_bDiscarding = false;
};
