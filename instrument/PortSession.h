#pragma once

class CComInstrument;

// One conversation with the instrument: the port is open for the scope and
// closed again on every way out of it. With DROP_FILE the transfer's file
// (m_file) ends with the conversation too: a receive that was not committed
// is discarded, a file being sent is closed.
class CPortSession
{
public:
    enum EFile { KEEP_FILE, DROP_FILE };

    // Opens the port; IsOpen() tells whether that worked.
    explicit CPortSession(CComInstrument& link, EFile file = KEEP_FILE);
    // Takes over the port that a preparation step left open.
    static CPortSession Adopt(CComInstrument& link, EFile file = KEEP_FILE);
    ~CPortSession();
    CPortSession(const CPortSession&) = delete;
    CPortSession& operator=(const CPortSession&) = delete;

    bool IsOpen() const { return m_bOpen; }
    // Leaves the port (and the file) open past the scope: a prepared send
    // hands the conversation on to the streaming of its data.
    void KeepOpen() { m_bActive = false; }

private:
    CPortSession(CComInstrument& link, EFile file, bool open);

    CComInstrument& m_link;
    EFile m_file;
    bool m_bOpen;
    bool m_bActive = true;
};
