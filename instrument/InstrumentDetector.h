#pragma once

#include "ComSettings.h"
#include "DetectPlan.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class CSerialDevice;

// What the instrument search found.
struct CDetectResult
{
    enum EOutcome { DETECT_FOUND, DETECT_NOT_FOUND, DETECT_CANCELLED };
    EOutcome m_outcome = DETECT_NOT_FOUND;
    QString m_strDevice;
    // The line settings and end mark that the instrument answered at;
    // ComPort is the port that reaches m_strDevice.
    CComSettings m_settings;
    // No port of the profile reaches the device yet: saving maps ComPort to it.
    bool m_bNewMapping = false;
    bool m_bNameGiven = false;
    QString m_strName;
    // Devices that were skipped, and why.
    QStringList m_notes;
    int m_nTries = 0;
};

// Finds the instrument: tries every device to search at every combination
// of line settings (DetectPlan::LineOrder: the current settings first), one
// combination after the other on all devices, and stops at the first one
// an instrument answers. A device that cannot be opened, or fails, is left
// out from then on with a note. The Transfer window (CServices::Progress())
// shows each try and can cancel the search. It runs only when asked:
// nothing else sends to a device that the user did not name or ask to search.
class CInstrumentDetector
{
public:
    // The device for a path, owned by the caller of SetDeviceFactory.
    using DeviceFactory = std::function<CSerialDevice*(const QString& path)>;

    CInstrumentDetector();
    ~CInstrumentDetector();
    CInstrumentDetector(const CInstrumentDetector&) = delete;
    CInstrumentDetector& operator=(const CInstrumentDetector&) = delete;

    // Searches only `device` when it is given, else every device of Candidates().
    CDetectResult Run(const CComSettings& current, const QString& device = QString());

    // Writes the found settings to the profile ("COM_SETTINGS") and, when
    // the result asks for it, maps its port to the device ("COM_DEVICES").
    // False when the profile was not written.
    static bool Save(const CDetectResult& result);
    static bool MapPort(int comPort, const QString& device);

    // The devices of this machine worth searching, in search order.
    static QList<DetectPlan::CCandidate> Candidates(const CComSettings& current);
    // One given device, with the port of the profile that reaches it (or 0).
    static DetectPlan::CCandidate CandidateFor(const CComSettings& current, const QString& device);

    // "9600 bit/s, 8N1, CR LF" and the like, for messages.
    static QString Describe(const CComSettings& settings);

    // Replacements for tests and benchmarks.
    void SetDeviceFactory(DeviceFactory factory) { m_factory = std::move(factory); }
    void SetCandidates(const QList<DetectPlan::CCandidate>& candidates);
    void SetLineOrder(const QList<DetectPlan::CLineTry>& order);

private:
    CSerialDevice& DeviceFor(const QString& path);
    CDetectResult Search(const CComSettings& current, const QList<DetectPlan::CCandidate>& candidates,
                         const QList<DetectPlan::CLineTry>& lines);

    DeviceFactory m_factory;
    std::unique_ptr<CSerialDevice> m_ownDevice;
    QList<DetectPlan::CCandidate> m_candidates;
    bool m_bCandidatesSet = false;
    QList<DetectPlan::CLineTry> m_order;
};
