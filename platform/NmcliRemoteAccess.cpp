#include "NmcliRemoteAccess.h"

#include "LocalPaths.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace {

const QStringList kListArgs = {QStringLiteral("-t"), QStringLiteral("-f"),
                               QStringLiteral("NAME,UUID,TYPE,DEVICE,STATE"), QStringLiteral("connection"),
                               QStringLiteral("show")};

// Modem connections (gsm, cdma) share the one modem: while one is up, another
// cannot come up without taking it over.
bool IsModemType(const QString& type)
{
    return type == QLatin1String("gsm") || type == QLatin1String("cdma");
}

// nmcli's --wait in seconds that leaves a margin inside the call's total bound.
QString WaitSeconds(int boundMs)
{
    return QString::number(qMax(1, boundMs / 1000 - 10));
}

void Stop(QProcess& process)
{
    process.kill();
    process.waitForFinished(1000);
}

// The password for nmcli's passwd-file, private in the staging folder and
// removed when this goes out of scope, whatever happened meanwhile.
class CPasswordFile
{
public:
    CPasswordFile(const QString& path, const QByteArray& line) : m_strPath(path)
    {
        QFile::remove(m_strPath);
        QFile file(m_strPath);
        m_bWritten =
            file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner)
            && file.write(line) == line.size() && file.flush();
    }
    ~CPasswordFile() { QFile::remove(m_strPath); }
    CPasswordFile(const CPasswordFile&) = delete;
    CPasswordFile& operator=(const CPasswordFile&) = delete;

    bool Written() const { return m_bWritten; }
    const QString& Path() const { return m_strPath; }

private:
    QString m_strPath;
    bool m_bWritten = false;
};

} // namespace

void CNmcliRemoteAccess::SetTimeouts(int queryMs, int upMs, int downMs)
{
    m_nQueryMs = queryMs;
    m_nUpMs = upMs;
    m_nDownMs = downMs;
}

QStringList CNmcliRemoteAccess::SplitTerse(const QByteArray& line)
{
    QStringList fields;
    QByteArray field;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (c == '\\' && i + 1 < line.size()) {
            field.append(line.at(++i));
        } else if (c == ':') {
            fields.append(QString::fromUtf8(field));
            field.clear();
        } else {
            field.append(c);
        }
    }
    fields.append(QString::fromUtf8(field));
    return fields;
}

QList<CNmcliRemoteAccess::CConnection> CNmcliRemoteAccess::ParseConnections(const QByteArray& output)
{
    QList<CConnection> connections;
    for (QByteArray line : output.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const QStringList fields = SplitTerse(line);
        // Anything but the five requested fields is not a line nmcli wrote.
        if (fields.size() != 5)
            continue;
        connections.append({fields[0], fields[1], fields[2], fields[3], fields[4]});
    }
    return connections;
}

bool CNmcliRemoteAccess::IsDialUpType(const QString& type)
{
    return IsModemType(type) || type == QLatin1String("pppoe") || type == QLatin1String("adsl");
}

bool CNmcliRemoteAccess::IsLiveState(const QString& state)
{
    return state == QLatin1String("activated") || state == QLatin1String("activating")
        || state == QLatin1String("deactivating");
}

bool CNmcliRemoteAccess::IsSafeCredential(const QString& text)
{
    return text.size() <= kMaxCredential && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))
        && !text.contains(QChar(0));
}

int CNmcliRemoteAccess::Run(const QStringList& args, int timeoutMs, QByteArray* output)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("nmcli"));
    if (program.isEmpty())
        return NMCLI_NOT_RUNNING;
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(program, args);
    if (!process.waitForStarted(timeoutMs))
        return NMCLI_NOT_RUNNING;

    QByteArray out;
    while (process.state() != QProcess::NotRunning) {
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0) {
            Stop(process);
            return NMCLI_TIMEOUT;
        }
        // With its output closed nmcli can still run: then wait for its end.
        if (!process.waitForReadyRead(int(left)) && process.state() != QProcess::NotRunning)
            process.waitForFinished(int(qMax<qint64>(1, timeoutMs - timer.elapsed())));
        out += process.readAllStandardOutput();
        if (out.size() > kMaxOutput) {
            Stop(process);
            return NMCLI_ERROR;
        }
    }
    out += process.readAllStandardOutput();
    if (out.size() > kMaxOutput || process.exitStatus() != QProcess::NormalExit)
        return NMCLI_ERROR;
    if (output)
        *output = out;
    return process.exitCode();
}

int CNmcliRemoteAccess::ReadConnections(QList<CConnection>& connections)
{
    QByteArray output;
    const int code = Run(kListArgs, m_nQueryMs, &output);
    connections = code == 0 ? ParseConnections(output) : QList<CConnection>();
    return code;
}

CRemoteAccess::Handle CNmcliRemoteAccess::HandleFor(const QString& uuid)
{
    auto it = m_handles.constFind(uuid);
    if (it != m_handles.constEnd())
        return it.value();
    const Handle handle = m_uuids.size() + 1;
    m_handles.insert(uuid, handle);
    m_uuids.insert(handle, uuid);
    return handle;
}

bool CNmcliRemoteAccess::ListConnections(QStringList& names)
{
    names.clear();
    QList<CConnection> connections;
    if (ReadConnections(connections) != 0)
        return false;
    for (const CConnection& connection : connections) {
        if (IsDialUpType(connection.m_strType))
            names.append(connection.m_strName);
    }
    return true;
}

int CNmcliRemoteAccess::Dial(const QString& name, const QString& userName, const QString& password, Handle& handle)
{
    handle = 0;
    if (!IsSafeCredential(userName) || !IsSafeCredential(password))
        return NMCLI_BAD_INPUT;
    QList<CConnection> connections;
    if (const int code = ReadConnections(connections))
        return code;

    const CConnection* target = nullptr;
    for (const CConnection& connection : connections) {
        if (connection.m_strName == name && IsDialUpType(connection.m_strType)) {
            target = &connection;
            break;
        }
    }
    if (!target)
        return NMCLI_NO_SUCH_CONNECTION;
    handle = HandleFor(target->m_strUuid);

    // The handle of a connection in the way lets the caller hang it up.
    for (const CConnection& connection : connections) {
        const bool same = connection.m_strUuid == target->m_strUuid;
        const bool sameModem = IsModemType(connection.m_strType) && IsModemType(target->m_strType);
        if (IsLiveState(connection.m_strState) && (same || sameModem)) {
            handle = HandleFor(connection.m_strUuid);
            return DIAL_PORT_IN_USE;
        }
    }

    if (const int code = SetUserName(*target, userName))
        return code;
    return BringUp(*target, password);
}

int CNmcliRemoteAccess::SetUserName(const CConnection& connection, const QString& userName)
{
    if (userName.isEmpty())
        return 0;
    const QString property = connection.m_strType + QStringLiteral(".username");
    QByteArray current;
    if (Run({QStringLiteral("-e"), QStringLiteral("no"), QStringLiteral("-t"), QStringLiteral("-g"), property,
             QStringLiteral("connection"), QStringLiteral("show"), QStringLiteral("uuid"), connection.m_strUuid},
            m_nQueryMs, &current)
            == 0
        && current.endsWith('\n')) {
        current.chop(1);
        if (QString::fromUtf8(current) == userName)
            return 0;
    }
    return Run({QStringLiteral("connection"), QStringLiteral("modify"), QStringLiteral("--temporary"),
                QStringLiteral("uuid"), connection.m_strUuid, property, userName},
               m_nQueryMs);
}

int CNmcliRemoteAccess::BringUp(const CConnection& connection, const QString& password)
{
    QStringList args = {QStringLiteral("--wait"), WaitSeconds(m_nUpMs),   QStringLiteral("connection"),
                        QStringLiteral("up"),     QStringLiteral("uuid"), connection.m_strUuid};
    int code = 0;
    if (password.isEmpty()) {
        code = Run(args, m_nUpMs);
    } else {
        const CPasswordFile file(
            CLocalPaths::StagingPath(QStringLiteral("nmcli-%1").arg(++m_nPasswordFiles)),
            (connection.m_strType + QStringLiteral(".password:") + password + QLatin1Char('\n')).toUtf8());
        if (!file.Written())
            return NMCLI_ERROR;
        code = Run(args << QStringLiteral("passwd-file") << file.Path(), m_nUpMs);
    }
    if (code == 0)
        return DIAL_CONNECTED;
    if (code == NMCLI_ACTIVATION_FAILED)
        return DIAL_LINK_FAILED;
    if (code == NMCLI_TIMEOUT) {
        // Reported as not established, so it must not come up later.
        TakeDown(connection.m_strUuid);
        return DIAL_LINK_FAILED;
    }
    return code;
}

bool CNmcliRemoteAccess::TakeDown(const QString& uuid)
{
    return Run({QStringLiteral("--wait"), WaitSeconds(m_nDownMs), QStringLiteral("connection"), QStringLiteral("down"),
                QStringLiteral("uuid"), uuid},
               m_nDownMs)
        == 0;
}

bool CNmcliRemoteAccess::HangUp(Handle handle)
{
    const QString uuid = m_uuids.value(handle);
    return !uuid.isEmpty() && TakeDown(uuid);
}

bool CNmcliRemoteAccess::IsLive(Handle handle)
{
    const QString uuid = m_uuids.value(handle);
    if (uuid.isEmpty())
        return false;
    QList<CConnection> connections;
    if (ReadConnections(connections) != 0)
        return false;
    for (const CConnection& connection : connections) {
        if (connection.m_strUuid == uuid)
            return IsLiveState(connection.m_strState);
    }
    return false;
}
