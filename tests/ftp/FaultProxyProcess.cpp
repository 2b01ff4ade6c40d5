#include "FaultProxyProcess.h"

#include <QDeadlineTimer>

using namespace Qt::StringLiterals;

CFaultProxyProcess::~CFaultProxyProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel(); // the relay ends when its input does
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QByteArray CFaultProxyProcess::ReadLine()
{
    for (const QDeadlineTimer deadline(10000); !m_process.canReadLine();) {
        if (deadline.hasExpired() || !m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return QByteArray();
    }
    return m_process.readLine().trimmed();
}

bool CFaultProxyProcess::Start()
{
    QStringList args{QStringLiteral(FAULT_PROXY_SCRIPT),
                     u"--listen"_s,
                     m_strHost,
                     u"--cut-every"_s,
                     QString::number(m_nCutEvery),
                     u"--cuts"_s,
                     QString::number(m_nMaxCuts)};
    if (m_bCutControl)
        args << u"--cut-control"_s;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(u"/usr/bin/python3"_s, args);
    const QList<QByteArray> words = ReadLine().split(' ');
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
    if (ReadLine() == "control " + QByteArray::number(port))
        return true;
    m_strProblem = u"the fault proxy cannot listen on port %1"_s.arg(port);
    return false;
}
