#pragma once

#include "ComPort.h"
#include "Instrument.h"

#include <QString>
#include <QStringList>

#include <functional>

class CComSettings;
struct CDataDownloadRequest;

// The instrument on the serial line. Every operation is one short blocking
// conversation: open the port, exchange lines with fixed pauses (through
// CServices::Clock()), close the port. Questions and messages go through
// CServices::Prompt(), transfers report through CServices::Progress().
//
// Paths given to Receive and the Send operations are native paths; the
// staging file of a receive is CLocalPaths::StagingPath("tempftp").
//
// Kind codes are those of Protocol::EKind: 0x40 fix points, 0x80
// measurements, 0x200 format, 0x8000 job, 0x10000 code list.
//
// How the shell connects: SetComSettings, Connect, wait 100 ms, ListJobs,
// ListFormats, ListCodeLists.
class CComInstrument : public CInstrument
{
public:
    CComInstrument();
    ~CComInstrument() override;

    // Connection
    virtual void SetComSettings(const CComSettings& settings);
    virtual bool Open();
    virtual void Close();
    // Wakes the instrument: "a", close, 3000 ms, "c", "c"; true when the
    // second "c" got a non-empty reply. The port is closed afterwards.
    virtual bool Probe();
    // "%R1Q,5004:": sets m_strName from a reply "%R1P,0,0:0,"NAME"". False
    // only for a well-formed reply with an error; any other reply (or none)
    // is true and keeps the name.
    virtual bool Identify();
    // The connection step of the shell and of the command line: Probe (on
    // failure "Communication problem", the application's name as caption),
    // wait 1000 ms, Identify. Apply the settings with SetComSettings first.
    enum EConnect { CONNECT_OK, CONNECT_NO_ANSWER, CONNECT_IDENTIFY_ERROR };
    EConnect Connect();

    // Framing: the text plus CR LF, each character as its low 8 bits, in one
    // write. A text longer than 509 characters, or with a character above
    // U+00FF that would go out as a control byte, is refused with a message
    // and nothing is written.
    virtual bool SendLine(const QString& text);
    // One reply line as the port read it, with its terminator; empty after
    // about two seconds of silence.
    virtual QString ReadLine();

    // Listings: fill m_jobs, m_formats, m_codeLists (emptied first). True
    // when the list was read to its end. A list that goes on past
    // kMaxListRows rows or kMaxListMs is stopped with "c" and a message, and
    // the result is false. The port is closed afterwards.
    virtual bool ListJobs();
    virtual bool ListCodeLists();
    virtual bool ListFormats();

    // The three tables, for code that works on whichever one an item lives in.
    enum ETable { TABLE_NONE, TABLE_JOBS, TABLE_FORMATS, TABLE_CODE_LISTS };
    // ListJobs, ListFormats or ListCodeLists; TABLE_NONE lists nothing and is true.
    bool ListTable(ETable table);
    // Whether the table as last listed has a row with this number; TABLE_NONE
    // has every number.
    bool HasRow(ETable table, int number) const;

    // Receives a job's measurements (0x80) or fix points (0x40), or a code
    // list (0x10000) into folder/<name chosen in "Data Download...">, or into
    // the staging file when toStaging is set (m_strStagingName then holds the
    // chosen name). The data go to a temporary file beside the target that
    // replaces the target only when the transfer ended normally.
    virtual bool Receive(QString folder, int number, int kind, int toStaging);

    // Erases a job (0x8000), its measurements (0x80) or fix points (0x40), a
    // code list (0x10000) or a format (0x200) after the user confirmed it.
    // True when the command was sent.
    virtual bool Erase(int number, int kind, int reserved = 0);

    // Sends a TQS or VRN file as job (0x8000) or fix points (0x40) of job
    // `number`. sourceName (may be empty: then the path) names the file at its
    // origin: its extension and base name are used, the data come from path.
    // The file is checked first (readable, no line over 509 characters with
    // its CR LF); a file that fails is refused before the instrument is
    // touched. True when every line was sent and acknowledged; false on a
    // refusal, a cancel, a missing acknowledgement or a lost device. The
    // port is closed afterwards.
    virtual bool SendJobFile(QString path, int number, int kind, QString sourceName);
    // Prepares the job for data (fix point question, naming, announcement);
    // true with the port left open for StreamFile.
    virtual bool PrepareJob(QString name, int number, int kind);
    // A VRN file as code list `number` (kind 0x10000); as SendJobFile.
    virtual bool SendCodeListFile(QString path, int number, int kind, QString sourceName);
    // As PrepareJob, for code lists: only an empty slot is named.
    virtual bool PrepareCodeList(QString name, int number, int kind);
    // An FRT file as format `number` (kind 0x200), followed by the byte 0x1A;
    // results as SendJobFile.
    virtual bool SendFormatFile(QString path, int number, int kind, QString sourceName);
    // SendJobFile for a job or fix points, SendCodeListFile for a code list,
    // SendFormatFile for a format; false, sending nothing, for any other kind.
    bool SendFile(const QString& path, int number, int kind, const QString& sourceName);

    // "FORM/SET/1" (builtIn) or "FORM/SET/<m_nFormat>", up to ten attempts;
    // "Can not select this format" after the tenth refusal.
    virtual bool SelectFormat(int builtIn);

    // Polls data lines with "?" into m_file until silence (true), cancel,
    // "@W1"/"@E1", a failed send or write (false). Counts bytes on the
    // progress service. A line that has not ended after kMaxReceiveLine bytes,
    // or data still coming after kMaxReceiveMs, end it with a message (false).
    bool ReceiveLines();
    // Sends "c" and then the (already formatted) naming command, up to ten
    // attempts; "Problem with setting name" after the tenth refusal.
    bool SetName(const QString& command);
    // Streams m_file line by line (port open), each line acknowledged with a
    // reply beginning "?"; a last line without CR LF is not sent. True when
    // the end of the file was reached; false on cancel, a missing
    // acknowledgement (five reads, each followed by 6000 ms) or a failed send.
    // Closes m_file in every case.
    bool StreamFile();

    // Shared prompts
    bool AskDelete(int titleId, const QString& name, int questionId, int captionId);
    void ShowError(int firstId, int secondId);
    bool AskName(int titleId, int promptId, QString& name, const QStringList& existingNames);

    CComPort m_port;

private:
    bool Wake(int pauseBeforeReadMs, int pauseAfterReadMs);
    bool StartListing(const QString& command, QString& firstReply);
    bool FinishListing();
    bool ListBoundReached(int rows, qint64 start);
    bool PollNextRow(QString& reply, bool& sendFailed);
    bool EndRowListing();
    bool ListRows(const QString& command, const std::function<bool(const QString&)>& takeRow);
    bool AskDownload(const QString& rowName, bool jobData, CDataDownloadRequest& request);
    QString ReceiveTarget(const QString& folder, const QString& name, int toStaging);
    bool WriteReceived(const QString& text);
    bool ReceiveTimeUp(qint64 start);
    bool ChooseName(const QString& source, const QStringList& existing, const QString& current, const QString& fallback,
                    int titleId, const QString& setPattern, QString& command);
    int CheckFileType(const QString& source, const QStringList& types);
    bool SendTableFile(const QString& path, const QString& source, int number, int kind, bool codeList);
    bool OpenAndAnnounce(const QString& setCommand, const QString& announcement);
    bool Announce(const QString& command);
    bool StreamPrepared(const QString& path);
    bool FitsFormatted(const QString& command);
    bool SendableName(const QString& name);
    bool CheckSendableFile(const QString& path);
    bool OpenSourceFile(const QString& path);
    void CloseFile();
    void ShowMessage(const QString& text);
    void Pause(int ms);
};
