#include "FuzzCheck.h"
#include "ftp/FtpProtocol.h"

// A host name or address of the characters that real ones use.
static QString MakeHost(FuzzedDataProvider& input)
{
    static const char alphabet[] = "abcxyz019.-:";
    QString host;
    const int length = input.ConsumeIntegralInRange<int>(0, 40);
    for (int i = 0; i < length; ++i)
        host += QLatin1Char(alphabet[input.ConsumeIntegralInRange<size_t>(0, sizeof alphabet - 2)]);
    return host;
}

// Server names of the settings, "host" or "host:port", "[v6]:port" or a bare
// IPv6 address. Any text gives a port in 1..65535 and a host taken from it;
// names written from a host and a port read back to that host and port.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const int defaultPort = input.ConsumeIntegralInRange<int>(1, 65535);
    const QString host = MakeHost(input);
    const int port = input.ConsumeIntegralInRange<int>(1, 65535);
    const QString blank = input.ConsumeBool() ? QStringLiteral(" ") : QString();
    const QString any = TakeUtf16(input);

    QString gotHost;
    int gotPort = 0;
    if (SplitFtpServerName(any, gotHost, gotPort, defaultPort))
        Check(IsPort(gotPort) && any.contains(gotHost), "a port in 1..65535, a host from the name");
    const qsizetype colons = host.count(QLatin1Char(':'));
    if (colons != 1) {
        const QString named = colons ? QLatin1Char('[') + host + QLatin1Char(']') : host;
        Check(SplitFtpServerName(blank + named + QLatin1Char(':') + QString::number(port) + blank, gotHost, gotPort,
                                 defaultPort)
                  && gotHost == host && gotPort == port,
              "host:port reads back");
        Check(SplitFtpServerName(blank + named + blank, gotHost, gotPort, defaultPort) && gotHost == host
                  && gotPort == defaultPort,
              "a host alone gets the default port");
    }
    return 0;
}
