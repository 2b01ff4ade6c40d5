#include "FaultProxyProcess.h"
#include "TestProcess.h"

using namespace Qt::StringLiterals;

CFaultProxyProcess::~CFaultProxyProcess()
{
    StopProcess(m_process, true); // the relay ends when its input does
}

bool CFaultProxyProcess::Start()
{
    QStringList args{QStringLiteral(FAULT_PROXY_SCRIPT), u"--listen"_s, m_strHost, u"--cut-every"_s,
                     QString::number(m_nCutEvery)};
    if (m_bCutControl)
        args << u"--cut-control"_s;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(u"/usr/bin/python3"_s, args);
    const QList<QByteArray> words = WaitForLine(m_process, "data ", 10000).split(' ');
    if (words.size() != 3 || words[0] != "data") {
        m_strProblem = u"the fault proxy did not start on "_s + m_strHost;
        return false;
    }
    m_nDataLow = words[1].toInt();
    m_nDataHigh = words[2].toInt();
    return m_nDataLow > 0 && m_nDataHigh >= m_nDataLow;
}

bool CFaultProxyProcess::ListenControl(int port)
{
    m_process.write("control " + QByteArray::number(port) + '\n');
    if (WaitForLine(m_process, "control ", 10000) == "control " + QByteArray::number(port))
        return true;
    m_strProblem = u"the fault proxy cannot listen on port %1"_s.arg(port);
    return false;
}

bool CFaultProxyProcess::Set(const char* name, qint64 value)
{
    const QByteArray line = "set " + QByteArray(name) + ' ' + QByteArray::number(value);
    m_process.write(line + '\n');
    return WaitForLine(m_process, "set ", 10000) == line;
}
