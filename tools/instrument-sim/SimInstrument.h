#pragma once

#include "SimState.h"

#include <QByteArray>
#include <QStringList>

// Behaviour switches, most of them provoke one failure path of the handheld.
struct CSimOptions
{
    QByteArray m_endMark = "\r\n"; // terminator of every reply line
    int m_nRefuseSet = 0;          // "@W" to the first n JOB/SET, CODE/SET, FORM/SET
    bool m_bRefuseSnd = false;     // "@W" to every SND announcement
    int m_nBusy = 0;               // 0x16 to the first n data polls of each receive
    int m_nErrorAfter = -1;        // error reply after n data lines of a receive (-1: never)
    QString m_strErrorReply = QStringLiteral("@E1");
    bool m_bSilent = false;   // never answer anything
    bool m_bReply127 = false; // bare "@127" to the first list command
    bool m_bNoName = false;   // no answer to the name request
    int m_nIdentifyCode = 0;  // return code in the name reply
    // How a list ends when polled past its last row: a bare "?" (no
    // terminator), "?" with the end mark, or silence.
    enum class EListEnd { BARE, LINE, SILENCE };
    EListEnd m_listEnd = EListEnd::BARE;
    // Misbehaviours that never end on their own; each stops when the port
    // closes or the next line arrives.
    bool m_bEndlessCr = false;   // the name request answered with CRs, without end
    bool m_bEndlessData = false; // a receive's first data poll answered with bytes that never bring CR LF
    bool m_bEndlessList = false; // every "?" of a listing answered with one more row
};

// The instrument's side of the command protocol, without any I/O: every
// complete line from the handheld goes in, the bytes to answer come out
// (empty bytes mean the instrument stays silent).
class CSimInstrument
{
public:
    CSimInstrument(CSimState& state, const CSimOptions& options);

    QByteArray HandleLine(const QByteArray& line);
    // A line too long to keep: refused, and it ends any transfer.
    QByteArray HandleOverlongLine();

    // The handheld closed the device: a transfer in progress ends there.
    void PortClosed();

    // Format number chosen by the last accepted FORM/SET (-1 before any).
    int SelectedFormat() const { return m_nSelectedFormat; }

    // The byte the instrument keeps sending for as long as the port stays
    // open and no line arrives (an endless misbehaviour); 0 when none.
    char Flood() const { return m_cFlood; }

private:
    enum class EMode { IDLE, LISTING, RECEIVING, STORING };
    enum class ETarget { NONE, JOB_FIXPOINTS, CODE_LIST, FORMAT };

    QByteArray Line(const QString& text) const;
    QByteArray Accept() const;
    QByteArray Refuse() const;

    QByteArray HandleCommand(const QString& command);
    QByteArray HandlePoll();
    QByteArray HandleStoredLine(const QByteArray& line);
    QByteArray StartList(const QString& command);
    QByteArray EndlessListRow();
    QByteArray StartReceive(const QStringList& data, bool known);
    QByteArray StartStore(ETarget target, int number);
    QByteArray SetName(const QString& command, bool job);
    QByteArray SelectFormat(const QString& argument);
    QByteArray Erase(const QString& command);
    QStringList* StoreTarget();
    void FinishStore();

    CSimState& m_state;
    CSimOptions m_options;
    EMode m_mode = EMode::IDLE;

    QStringList m_listRows;
    int m_nNextRow = 0;

    QStringList m_receiveLines;
    int m_nNextLine = 0;
    int m_nBusyLeft = 0;
    bool m_bReceiveFailed = false;

    ETarget m_storeTarget = ETarget::NONE;
    int m_nStoreNumber = 0;
    bool m_bAwaitBlank = false;

    char m_cFlood = 0;

    int m_nSetRefusalsLeft = 0;
    bool m_bSent127 = false;
    int m_nSelectedFormat = -1;
};
