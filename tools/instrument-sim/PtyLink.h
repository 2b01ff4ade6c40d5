#pragma once

#include "LineCheck.h"
#include "LineSplitter.h"

#include <QFile>
#include <QSet>
#include <QString>

#include <csignal>
#include <ctime>

class CSimInstrument;

// The instrument's end of the serial line: the master side of a
// pseudo-terminal. The handheld opens the slave device like a serial port.
class CPtyLink
{
public:
    explicit CPtyLink(CSimInstrument& instrument);
    ~CPtyLink();

    // Opens the pseudo-terminal in raw mode; false with a reason on failure.
    bool Open(QString& error);
    QString DevicePath() const { return m_strDevice; }

    // 0 sends and takes bytes at once; otherwise every byte takes 10 bit times.
    void SetBaudRate(int baud) { m_nBaud = baud; }
    bool SetTranscript(const QString& path, QString& error);
    // Cuts the line for good when line n+1 arrives, like a pulled cable
    // (-1: never). Run then returns.
    void SetVanishAfter(int lines) { m_nVanishAfter = lines; }
    // Hears the handheld only while its line is set to these settings. Call
    // after Open.
    void SetLineSettings(const CLineSettings& settings);

    // Serves the handheld until stop becomes non-zero (set by a signal).
    void Run(const volatile std::sig_atomic_t& stop);

private:
    void HandleChunk(const QByteArray& chunk, const timespec& readTime);
    void HandleHangUp();
    void Vanish();
    bool WatchDevice();
    bool LineHeard();
    void DropUnreadReplies();
    void ReadDeviceEvents();
    QSet<qint64> DeviceHolders() const;
    void Send(const QByteArray& bytes);
    void PumpFlood();
    bool WriteAll(const char* data, qsizetype size);
    void Log(const char* direction, const QByteArray& bytes);
    long ByteNanos() const;

    CSimInstrument& m_instrument;
    CLineSplitter m_splitter;
    int m_nMaster = -1;
    int m_nSlave = -1; // held open so that unread replies can be dropped
    QString m_strDevice;
    int m_nBaud = 0;
    int m_nWatch = -1;      // inotify descriptor reporting opens and closes of the slave
    int m_nOpenCount = 0;   // descriptors the handheld holds on the slave
    QSet<qint64> m_openers; // the processes that held the slave when it was opened
    int m_nVanishAfter = -1;
    int m_nLinesSeen = 0;
    bool m_bVanished = false;
    bool m_bCheckLine = false;
    CLineSettings m_line;
    timespec m_rxFree{}; // when the emulated line is free again for received bytes
    timespec m_start{};
    timespec m_lastSend{};   // when the last reply was written
    char m_cFloodLogged = 0; // the endless byte whose start the transcript holds
    QFile m_transcript;
    const volatile std::sig_atomic_t* m_pStop = nullptr;
};
