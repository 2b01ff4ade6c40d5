#include "PtyLink.h"

#include "SimInstrument.h"
#include "WireText.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/inotify.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr long NanosPerSecond = 1000000000L;

timespec Now()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now;
}

timespec AddNanos(timespec t, long long nanos)
{
    const long long total = t.tv_nsec + nanos;
    t.tv_sec += static_cast<time_t>(total / NanosPerSecond);
    t.tv_nsec = static_cast<long>(total % NanosPerSecond);
    return t;
}

bool Before(const timespec& a, const timespec& b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

void SleepUntil(const timespec& deadline)
{
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {}
}

double Seconds(const timespec& from, const timespec& to)
{
    return static_cast<double>(to.tv_sec - from.tv_sec) + (to.tv_nsec - from.tv_nsec) / 1e9;
}

} // namespace

CPtyLink::CPtyLink(CSimInstrument& instrument) : m_instrument(instrument)
{
    m_start = Now();
}

CPtyLink::~CPtyLink()
{
    for (int fd : {m_nMaster, m_nSlave, m_nWatch})
        if (fd >= 0)
            ::close(fd);
}

bool CPtyLink::Open(QString& error)
{
    char name[256] = {};
    if (openpty(&m_nMaster, &m_nSlave, name, nullptr, nullptr) != 0) {
        error = QStringLiteral("openpty failed: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    // Raw 8-bit line without echo: bytes pass both ways untouched.
    termios tio{};
    tcgetattr(m_nSlave, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_nSlave, TCSANOW, &tio);
    fcntl(m_nMaster, F_SETFL, fcntl(m_nMaster, F_GETFL) | O_NONBLOCK);
    m_strDevice = QString::fromLocal8Bit(name);
    if (!WatchDevice()) {
        error = QStringLiteral("cannot watch %1: %2").arg(m_strDevice, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    return true;
}

bool CPtyLink::SetTranscript(const QString& path, QString& error)
{
    m_transcript.setFileName(path);
    if (!m_transcript.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error = QStringLiteral("cannot write %1: %2").arg(path, m_transcript.errorString());
        return false;
    }
    return true;
}

// Open and close events of the slave device tell exactly when the handheld
// opens and closes its port, even when it reopens at once.
bool CPtyLink::WatchDevice()
{
    m_nWatch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_nWatch < 0)
        return false;
    return inotify_add_watch(m_nWatch, QFile::encodeName(m_strDevice).constData(),
                             IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)
        >= 0;
}

void CPtyLink::SetLineSettings(const CLineSettings& settings)
{
    m_line = settings;
    m_bCheckLine = true;
    // The handheld's serial port puts back the settings it found when it
    // closes: 50 bit/s is never one that could be taken for an answer.
    termios tio{};
    tcgetattr(m_nSlave, &tio);
    cfsetspeed(&tio, B50);
    tcsetattr(m_nSlave, TCSANOW, &tio);
}

// The slave's settings are the handheld's: it set them when it opened.
bool CPtyLink::LineHeard()
{
    termios tio{};
    return !m_bCheckLine || (tcgetattr(m_nSlave, &tio) == 0 && LineMatches(tio, m_line));
}

void CPtyLink::ReadDeviceEvents()
{
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(m_nWatch, buffer, sizeof buffer);
        if (count <= 0)
            return;
        for (ssize_t offset = 0; offset < count;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            if ((event->mask & IN_OPEN) && m_nOpenCount++ == 0) {
                // A real port loses what was sent while it was closed.
                DropUnreadReplies();
                m_openers = DeviceHolders();
                Log("--", "port opened");
            }
            // inotify merges an event with the one queued before it when they
            // are alike: the handheld's two opens may count as two and its two
            // closes as one. A close that leaves descriptors counted is
            // checked against the processes that opened the port.
            if ((event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) && m_nOpenCount > 0
                && (--m_nOpenCount == 0 || !DeviceHolders().intersects(m_openers))) {
                m_nOpenCount = 0;
                HandleHangUp();
            }
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

// The processes other than this one that hold the slave open, from /proc.
QSet<qint64> CPtyLink::DeviceHolders() const
{
    QSet<qint64> holders;
    const QString device = QFileInfo(m_strDevice).canonicalFilePath();
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& name : pids) {
        bool number = false;
        const qint64 pid = name.toLongLong(&number);
        if (!number || pid == ::getpid())
            continue;
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(name));
        for (const QString& fd : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
            if (QFile::symLinkTarget(fds.filePath(fd)) == device) {
                holders.insert(pid);
                break;
            }
        }
    }
    return holders;
}

void CPtyLink::DropUnreadReplies()
{
    // A reply written a moment ago may still be on its way through the
    // kernel's buffers, where no flush reaches it; let it land first.
    const timespec settled = AddNanos(m_lastSend, 20000000);
    if (Before(Now(), settled))
        SleepUntil(settled);
    tcflush(m_nSlave, TCIFLUSH);  // what already waits at the handheld's end
    tcflush(m_nMaster, TCOFLUSH); // and what is still on its way there
    m_splitter.Clear();
}

void CPtyLink::Run(const volatile std::sig_atomic_t& stop)
{
    m_pStop = &stop;
    char buffer[4096];
    while (!stop && !m_bVanished) {
        // While an endless misbehaviour runs, room on the line wakes the loop too.
        const bool flooding = m_instrument.Flood() != 0 && m_nOpenCount > 0;
        if (!flooding)
            m_cFloodLogged = 0;
        const short masterEvents = flooding ? POLLIN | POLLOUT : POLLIN;
        pollfd pfds[2] = {{m_nWatch, POLLIN, 0}, {m_nMaster, masterEvents, 0}};
        if (poll(pfds, 2, 50) <= 0)
            continue; // time-out, or a signal that set the stop flag
        // Opens and closes first: a line can only come from a session whose
        // open is already reported, so a reply never goes to the wrong one.
        ReadDeviceEvents();
        if (pfds[1].revents & POLLIN) {
            const ssize_t count = ::read(m_nMaster, buffer, sizeof buffer);
            if (count > 0)
                HandleChunk(QByteArray(buffer, static_cast<qsizetype>(count)), Now());
        }
        if (pfds[1].revents & POLLOUT)
            PumpFlood();
    }
}

// One block of the endless byte, as much of it as the line takes now: the
// write never blocks, so the handheld's lines and its close are seen at once.
// With a line speed the block takes its byte times.
void CPtyLink::PumpFlood()
{
    const char byte = m_instrument.Flood();
    if (byte == 0 || m_nOpenCount == 0)
        return;
    const QByteArray block(ByteNanos() > 0 ? 64 : 4096, byte);
    const timespec start = Now();
    const ssize_t written = ::write(m_nMaster, block.constData(), static_cast<size_t>(block.size()));
    if (written <= 0)
        return;
    if (m_cFloodLogged != byte) {
        m_cFloodLogged = byte;
        Log("--", "sending " + EscapeBytes(QByteArray(1, byte)) + " without end");
    }
    if (ByteNanos() > 0)
        SleepUntil(AddNanos(start, static_cast<long long>(ByteNanos()) * written));
    m_lastSend = Now();
}

long CPtyLink::ByteNanos() const
{
    // One start bit, eight data bits, one stop bit.
    return m_nBaud > 0 ? static_cast<long>(10LL * NanosPerSecond / m_nBaud) : 0;
}

void CPtyLink::HandleChunk(const QByteArray& chunk, const timespec& readTime)
{
    if (!LineHeard()) {
        // Garbled at these settings: no line of it is understood.
        m_splitter.Clear();
        Log("--", "line settings differ, " + QByteArray::number(chunk.size()) + " bytes not understood");
        return;
    }
    // With a line speed, the received bytes arrive one bit time after another.
    const timespec rxStart = Before(m_rxFree, readTime) ? readTime : m_rxFree;
    m_rxFree = AddNanos(rxStart, static_cast<long long>(ByteNanos()) * chunk.size());

    for (const CLineSplitter::CSplitLine& line : m_splitter.Feed(chunk)) {
        if (ByteNanos() > 0)
            SleepUntil(AddNanos(rxStart, static_cast<long long>(ByteNanos()) * line.m_nEndOffset));
        Log("RX", line.m_bytes + "\r\n");
        if (m_nVanishAfter >= 0 && m_nLinesSeen++ >= m_nVanishAfter) {
            Vanish();
            return;
        }
        const QByteArray reply =
            line.m_bOverlong ? m_instrument.HandleOverlongLine() : m_instrument.HandleLine(line.m_bytes);
        // A line read after the handheld closed its port is still acted on,
        // but its reply would only wait for the next open: it is lost.
        if (m_nOpenCount > 0)
            Send(reply);
        else if (!reply.isEmpty())
            Log("--", "reply dropped, port closed");
    }
}

void CPtyLink::Vanish()
{
    // Closing both ends of the pseudo-terminal hangs the device up under the
    // handheld: its reads and writes fail from now on.
    for (int* fd : {&m_nMaster, &m_nSlave}) {
        ::close(*fd);
        *fd = -1;
    }
    m_bVanished = true;
    Log("--", "line cut");
}

void CPtyLink::HandleHangUp()
{
    // Replies the handheld did not read before closing must not greet its
    // next open; a transfer in progress ends with the close.
    DropUnreadReplies();
    m_instrument.PortClosed();
    Log("--", "port closed");
}

void CPtyLink::Send(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    const long byteNanos = ByteNanos();
    if (byteNanos == 0) {
        WriteAll(bytes.constData(), bytes.size());
    } else {
        // Each byte leaves when its ten bit times have passed.
        const timespec start = Now();
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            SleepUntil(AddNanos(start, static_cast<long long>(byteNanos) * (i + 1)));
            if (!WriteAll(bytes.constData() + i, 1))
                break;
        }
        m_rxFree = Now();
    }
    m_lastSend = Now();
    Log("TX", bytes);
}

bool CPtyLink::WriteAll(const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(m_nMaster, data, static_cast<size_t>(size));
        if (written > 0) {
            data += written;
            size -= written;
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (m_pStop && *m_pStop)
            return false;
        // The handheld is not reading: wait for room in the line's buffer.
        pollfd pfd{m_nMaster, POLLOUT, 0};
        poll(&pfd, 1, 50);
    }
    return true;
}

void CPtyLink::Log(const char* direction, const QByteArray& bytes)
{
    if (!m_transcript.isOpen())
        return;
    const QByteArray text = QByteArray::number(Seconds(m_start, Now()), 'f', 3) + ' ' + direction + ' '
        + (direction[0] == '-' ? bytes : EscapeBytes(bytes)) + '\n';
    m_transcript.write(text);
    m_transcript.flush();
}
