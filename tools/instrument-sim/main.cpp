// instrument-sim: plays a surveying instrument on a pseudo-terminal.
//
// Prints "device: /dev/pts/N" as its first line, then answers the command
// protocol of the handheld until SIGTERM or SIGINT.

#include "PtyLink.h"
#include "SimInstrument.h"
#include "SimState.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int)
{
    g_stop = 1;
}

void InstallSignals()
{
    struct sigaction action
    {
    };
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no restart: a blocked poll or sleep returns at once
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

int Fail(const QString& message, int code = 1)
{
    std::fprintf(stderr, "instrument-sim: %s\n", qPrintable(message));
    return code;
}

bool IntOption(const QCommandLineParser& parser, const QString& name, int minimum, int& value)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    value = parser.value(name).toInt(&ok);
    return ok && value >= minimum;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("instrument-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Plays a surveying instrument on a pseudo-terminal."));
    parser.addHelpOption();
    parser.addOptions({
        {"link", "Make a symbolic link PATH to the device.", "PATH"},
        {"state", "Load jobs, formats and code lists from a JSON file.", "FILE"},
        {"save-state", "Write the state to FILE on exit.", "FILE"},
        {"transcript", "Log every received line and every reply to FILE.", "FILE"},
        {"name", "Instrument name given in the name reply.", "NAME"},
        {"identify-code", "Return code of the name reply (0 means success).", "N"},
        {"end-mark", "Reply terminator: crlf (default) or cr.", "MARK"},
        {"baud", "Emulate the line speed: every byte takes 10 bit times.", "N"},
        {"line-settings", "Hear the handheld only at these settings, e.g. 38400,7E1.", "BAUD,FRAMING"},
        {"refuse-set", "Answer \"@W\" to the first N JOB/SET, CODE/SET and FORM/SET.", "N"},
        {"refuse-snd", "Answer \"@W\" to every SND announcement."},
        {"busy", "Answer the first N data polls of each receive with 0x16.", "N"},
        {"error-after", "Answer \"@E1\" after N data lines of a receive.", "N"},
        {"error-reply", "The error reply of --error-after: @E1 (default) or @W1.", "TEXT"},
        {"vanish-after", "Cut the line for good when line N+1 arrives (a pulled cable).", "N"},
        {"silent", "Never answer."},
        {"reply-127", "Answer the first list command with a bare \"@127\"."},
        {"no-name", "Do not answer the name request."},
        {"list-end", "End of a list: bare (\"?\" alone, default), line (\"?\" and the end mark) or silent.", "HOW"},
    });
    // Misbehaviours without end, for the handheld's bounds.
    parser.addOptions({
        {"endless-cr", "Answer the name request with CR bytes that never end."},
        {"endless-data", "Answer a receive's first data poll with bytes that never bring CR LF."},
        {"endless-list", "Never end a list: every \"?\" brings one more row."},
    });
    if (!parser.parse(app.arguments()))
        return Fail(parser.errorText(), 2);
    if (parser.isSet("help")) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return Fail(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()), 2);

    CSimOptions options;
    int baud = 0;
    if (!IntOption(parser, "refuse-set", 0, options.m_nRefuseSet) || !IntOption(parser, "busy", 0, options.m_nBusy)
        || !IntOption(parser, "error-after", 0, options.m_nErrorAfter) || !IntOption(parser, "baud", 1, baud)
        || !IntOption(parser, "identify-code", 0, options.m_nIdentifyCode) || options.m_nIdentifyCode > 9)
        return Fail(QStringLiteral("numeric option out of range"), 2);
    int vanishAfter = -1;
    if (!IntOption(parser, "vanish-after", 0, vanishAfter))
        return Fail(QStringLiteral("numeric option out of range"), 2);
    if (parser.isSet("error-reply")) {
        options.m_strErrorReply = parser.value("error-reply");
        if (options.m_strErrorReply != QLatin1String("@E1") && options.m_strErrorReply != QLatin1String("@W1"))
            return Fail(QStringLiteral("--error-reply takes @E1 or @W1"), 2);
    }
    options.m_bRefuseSnd = parser.isSet("refuse-snd");
    options.m_bSilent = parser.isSet("silent");
    options.m_bReply127 = parser.isSet("reply-127");
    options.m_bNoName = parser.isSet("no-name");
    options.m_bEndlessCr = parser.isSet("endless-cr");
    options.m_bEndlessData = parser.isSet("endless-data");
    options.m_bEndlessList = parser.isSet("endless-list");
    const QString endMark = parser.value("end-mark");
    if (endMark == QLatin1String("cr"))
        options.m_endMark = "\r";
    else if (!endMark.isEmpty() && endMark != QLatin1String("crlf"))
        return Fail(QStringLiteral("--end-mark takes crlf or cr"), 2);

    const QString listEnd = parser.value("list-end");
    if (listEnd == QLatin1String("line"))
        options.m_listEnd = CSimOptions::EListEnd::LINE;
    else if (listEnd == QLatin1String("silent"))
        options.m_listEnd = CSimOptions::EListEnd::SILENCE;
    else if (!listEnd.isEmpty() && listEnd != QLatin1String("bare"))
        return Fail(QStringLiteral("--list-end takes bare, line or silent"), 2);

    CLineSettings line;
    if (parser.isSet("line-settings") && !ParseLineSettings(parser.value("line-settings"), line))
        return Fail(QStringLiteral("--line-settings takes BAUD,FRAMING such as 9600,8N1 or 38400,7E1"), 2);

    CSimState state = CSimState::Default();
    QString error;
    if (parser.isSet("state") && !state.Load(parser.value("state"), error))
        return Fail(error, 2);
    if (parser.isSet("name"))
        state.m_strName = parser.value("name");

    // The emulated line times each byte to a fraction of a millisecond; the
    // default timer slack (50 us per sleep) would add to every byte.
    if (baud > 0)
        prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

    CSimInstrument instrument(state, options);
    CPtyLink link(instrument);
    link.SetBaudRate(baud);
    link.SetVanishAfter(vanishAfter);
    if (!link.Open(error))
        return Fail(error);
    if (parser.isSet("line-settings"))
        link.SetLineSettings(line);
    if (parser.isSet("transcript") && !link.SetTranscript(parser.value("transcript"), error))
        return Fail(error);

    const QString linkPath = parser.value("link");
    if (!linkPath.isEmpty()) {
        QFile::remove(linkPath);
        if (!QFile::link(link.DevicePath(), linkPath))
            return Fail(QStringLiteral("cannot create the link %1").arg(linkPath));
    }

    InstallSignals();
    std::printf("device: %s\n", qPrintable(link.DevicePath()));
    std::fflush(stdout);

    link.Run(g_stop);

    int result = 0;
    if (!linkPath.isEmpty())
        ::unlink(QFile::encodeName(linkPath).constData());
    if (parser.isSet("save-state") && !state.Save(parser.value("save-state"), error))
        result = Fail(error);
    return result;
}
