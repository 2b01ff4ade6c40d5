#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Remote access (dial-up networking): the connections defined on this
// machine, brought up and taken down by name. The explorer's Connect dialog
// and its Connect/Disconect commands use it through CServices; the programs
// use NetworkManager, tests install a scripted service.
class CRemoteAccess
{
public:
    // Identifies a connection that was dialled; 0 is no connection.
    using Handle = quint64;

    // Results of Dial. Any other non-zero value is a failure that keeps its
    // own number (the connection manager's exit code).
    enum EDialResult : int {
        DIAL_CONNECTED = 0,
        DIAL_PORT_IN_USE = 602, // the connection or its device is already in use
        DIAL_LINK_FAILED = 628  // the link could not be established
    };

    virtual ~CRemoteAccess() = default;

    // The names of the dial-up connections, in the manager's order. False when
    // the manager is missing or not running; names is then empty.
    virtual bool ListConnections(QStringList& names) = 0;

    // Brings the named connection up with these credentials and waits until it
    // is up or has failed. handle is set whenever the connection is known,
    // also on failure, so that the caller can still hang it up; 0 otherwise.
    virtual int Dial(const QString& name, const QString& userName, const QString& password, Handle& handle) = 0;

    // Takes the connection down; false when it was not up or is unknown.
    virtual bool HangUp(Handle handle) = 0;

    // Whether the connection is up or on its way up or down; false when it is
    // down, unknown, or its state cannot be read.
    virtual bool IsLive(Handle handle) = 0;
};
