#pragma once

#include "RemoteAccess.h"

#include <QByteArray>
#include <QHash>
#include <QList>

// Remote access through NetworkManager's command-line client `nmcli`.
// Dial-up connections are its mobile broadband (gsm, cdma), PPPoE and ADSL
// profiles. Every call of nmcli is bounded in time and in output; the
// password reaches nmcli only through its passwd-file, written private into
// the run's staging folder and removed as soon as nmcli has ended. A user
// name is set on the profile in memory only (modify --temporary), and only
// when it differs from the profile's own.
//
// Results: 0 when the connection came up; 602 when it, or another one on the
// same modem, is already up; 628 when activation failed or timed out (the
// half-open connection is then taken down again); otherwise nmcli's own exit
// code: 2 for a user name or password that cannot be passed safely (a line
// break or NUL, more than 256 characters), 8 when nmcli is missing or
// NetworkManager does not answer, 10 for an unknown connection name.
class CNmcliRemoteAccess : public CRemoteAccess
{
public:
    // nmcli's exit codes that this back-end also uses for its own failures.
    enum ENmcliExit : int {
        NMCLI_ERROR = 1,
        NMCLI_BAD_INPUT = 2,
        NMCLI_TIMEOUT = 3,
        NMCLI_ACTIVATION_FAILED = 4,
        NMCLI_NOT_RUNNING = 8,
        NMCLI_NO_SUCH_CONNECTION = 10
    };
    static constexpr int kMaxCredential = 256;
    static constexpr int kMaxOutput = 1 << 20;

    // One line of `nmcli -t -f NAME,UUID,TYPE,DEVICE,STATE connection show`.
    struct CConnection
    {
        QString m_strName;
        QString m_strUuid;
        QString m_strType;
        QString m_strDevice;
        QString m_strState;
    };

    bool ListConnections(QStringList& names) override;
    int Dial(const QString& name, const QString& userName, const QString& password, Handle& handle) override;
    bool HangUp(Handle handle) override;
    bool IsLive(Handle handle) override;

    // Total bounds of one nmcli call: queries and changes, bringing a
    // connection up, taking it down.
    void SetTimeouts(int queryMs, int upMs, int downMs);

    // The fields of one terse line: split at ':' not escaped by '\', and
    // "\:" and "\\" unescaped.
    static QStringList SplitTerse(const QByteArray& line);
    static QList<CConnection> ParseConnections(const QByteArray& output);
    static bool IsDialUpType(const QString& type);
    // Up, on its way up or on its way down.
    static bool IsLiveState(const QString& state);
    // A credential that nmcli's files and arguments carry unchanged.
    static bool IsSafeCredential(const QString& text);

private:
    // Runs nmcli with these arguments; the exit code, NMCLI_NOT_RUNNING when it
    // cannot be started, NMCLI_TIMEOUT when it outlived timeoutMs (it is then
    // killed), NMCLI_ERROR when it crashed or wrote more than kMaxOutput.
    int Run(const QStringList& args, int timeoutMs, QByteArray* output = nullptr);
    int ReadConnections(QList<CConnection>& connections);
    Handle HandleFor(const QString& uuid);
    int SetUserName(const CConnection& connection, const QString& userName);
    int BringUp(const CConnection& connection, const QString& password);
    bool TakeDown(const QString& uuid);

    int m_nQueryMs = 15000;
    int m_nUpMs = 100000;
    int m_nDownMs = 30000;
    QHash<QString, Handle> m_handles;
    QHash<Handle, QString> m_uuids;
    int m_nPasswordFiles = 0;
};
