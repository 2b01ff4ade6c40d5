#pragma once

#include "FtpServerProcess.h"

// The benchmark's ProFTPD and Pure-FTPd, run as root from packages unpacked
// into m_strUnpacked (bench/ftp/unpack-servers.sh); the other kinds as the
// tests run them.
class CUnpackedFtpServerProcess : public CFtpServerProcess
{
public:
    using CFtpServerProcess::CFtpServerProcess;

    QString m_strUnpacked; // root of the unpacked packages

protected:
    bool StartUnpackedProcess() override;

private:
    bool PrepareSharedFolder();
    bool StartProftpd();
    bool StartPureFtpd();
};
