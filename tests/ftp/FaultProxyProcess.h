#pragma once

#include <QProcess>
#include <QString>

// tests/support/fault-proxy.py for one test: a relay on 127.0.0.2 in front
// of an FTP (or SSH) server on 127.0.0.1 that cuts the data connections (and,
// if asked, the control connections) after every m_nCutEvery bytes of data.
// Start binds the passive ports, which the server is then started with;
// ListenControl takes the port the server bound. Stopped with the object.
class CFaultProxyProcess
{
public:
    CFaultProxyProcess() = default;
    ~CFaultProxyProcess();

    // False with m_strProblem set when the relay cannot run here.
    bool Start();
    bool ListenControl(int port);
    // While it runs: "stall 1" holds every byte until "stall 0"; "cut N" cuts
    // every connection, control ones too, after each N bytes from now (0: never).
    bool Set(const char* name, qint64 value);

    qint64 m_nCutEvery = 0; // 0: never
    bool m_bCutControl = false;
    QString m_strHost = QStringLiteral("127.0.0.2");
    int m_nDataLow = 0;
    int m_nDataHigh = 0;
    QString m_strProblem;

private:
    QProcess m_process;
};
