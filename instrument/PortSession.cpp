#include "PortSession.h"

#include "ComInstrument.h"

CPortSession::CPortSession(CComInstrument& link, EFile file) : CPortSession(link, file, true) {}

CPortSession::CPortSession(CComInstrument& link, EFile file, bool open)
    : m_link(link), m_file(file), m_bOpen(open ? link.Open() : true)
{}

CPortSession CPortSession::Adopt(CComInstrument& link, EFile file)
{
    return CPortSession(link, file, false);
}

CPortSession::~CPortSession()
{
    if (!m_bActive)
        return;
    if (m_file == DROP_FILE)
        m_link.m_file.reset();
    m_link.Close();
}
