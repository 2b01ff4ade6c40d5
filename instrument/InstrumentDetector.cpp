#include "InstrumentDetector.h"

#include "ComPort.h"
#include "LineProbe.h"
#include "platform/Profile.h"
#include "platform/Progress.h"
#include "platform/QtSerialDevice.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

using DetectPlan::CCandidate;
using DetectPlan::CLineTry;

namespace {

const QString kDevicesSection = QStringLiteral("COM_DEVICES");
// Ports of the profile that are looked at for a device of their own.
constexpr int kMaxMappedPort = 99;

// Paths that lead to the same device (a link in /dev/serial/by-id and its
// target) compare equal.
QString Canonical(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

CLineTry LineOf(const CComSettings& settings)
{
    return {settings.BaudRate, settings.ByteSize, settings.Parity, settings.StopBits};
}

// Shows the Transfer window for the search and hides it on every way out.
class CSearchWindow
{
public:
    explicit CSearchWindow(int tries)
    {
        CServices::Progress().Show();
        CServices::Progress().SetRange(tries);
    }
    ~CSearchWindow() { CServices::Progress().Hide(); }
    CSearchWindow(const CSearchWindow&) = delete;
    CSearchWindow& operator=(const CSearchWindow&) = delete;
};

} // namespace

CInstrumentDetector::CInstrumentDetector() = default;

CInstrumentDetector::~CInstrumentDetector() = default;

void CInstrumentDetector::SetCandidates(const QList<CCandidate>& candidates)
{
    m_candidates = candidates;
    m_bCandidatesSet = true;
}

void CInstrumentDetector::SetLineOrder(const QList<CLineTry>& order)
{
    m_order = order;
}

CSerialDevice& CInstrumentDetector::DeviceFor(const QString& path)
{
    if (m_factory) {
        if (CSerialDevice* device = m_factory(path))
            return *device;
    }
    if (!m_ownDevice)
        m_ownDevice = std::make_unique<CQtSerialDevice>();
    return *m_ownDevice;
}

QString CInstrumentDetector::Describe(const CComSettings& settings)
{
    return LoadString(IDS_DETECT_SETTINGS).arg(settings.BaudRate).arg(DetectPlan::FramingText(LineOf(settings)));
}

QList<CCandidate> CInstrumentDetector::Candidates(const CComSettings& current)
{
    QList<CCandidate> mapped;
    for (int port = 1; port <= kMaxMappedPort; ++port) {
        const QString path = CProfile::ReadString(kDevicesSection, QStringLiteral("COM%1").arg(port));
        if (!path.isEmpty())
            mapped.append({path, port});
    }
    QStringList present;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
#ifdef Q_OS_WIN
        // "COMn" is port n itself.
        const int port = info.portName().mid(3).toInt();
        if (info.portName().startsWith(QLatin1String("COM")) && port > 0)
            mapped.append({info.portName(), port});
#else
        present.append(info.systemLocation());
#endif
    }
    // Port 0 (an empty list in the dialog) has no device.
    const QString currentPath = current.ComPort > 0 ? CComPort::DevicePath(current.ComPort) : QString();
    return DetectPlan::OrderCandidates(current.ComPort, currentPath, mapped, present, &Canonical);
}

CCandidate CInstrumentDetector::CandidateFor(const CComSettings& current, const QString& device)
{
    const QString key = Canonical(device);
    if (Canonical(CComPort::DevicePath(current.ComPort)) == key)
        return {device, current.ComPort};
    for (int port = 1; port <= kMaxMappedPort; ++port) {
        if (Canonical(CComPort::MappedPath(port)) == key)
            return {device, port};
    }
    return {device, 0};
}

CDetectResult CInstrumentDetector::Run(const CComSettings& current, const QString& device)
{
    QList<CCandidate> candidates;
    if (!device.isEmpty())
        candidates.append(CandidateFor(current, device));
    else
        candidates = m_bCandidatesSet ? m_candidates : Candidates(current);
    const QList<CLineTry> lines = m_order.isEmpty() ? DetectPlan::LineOrder(current) : m_order;
    if (candidates.isEmpty()) {
        CDetectResult result;
        result.m_notes.append(LoadString(IDS_DETECT_NO_DEVICES));
        return result;
    }
    return Search(current, candidates, lines);
}

CDetectResult CInstrumentDetector::Search(const CComSettings& current, const QList<CCandidate>& candidates,
                                          const QList<CLineTry>& lines)
{
    CDetectResult result;
    CSearchWindow window(static_cast<int>(candidates.size() * lines.size()));
    QList<bool> skipped(candidates.size(), false);
    int step = 0;
    for (const CLineTry& line : lines) {
        for (qsizetype i = 0; i < candidates.size(); ++i, ++step) {
            if (skipped[i])
                continue;
            const CCandidate& candidate = candidates[i];
            CComSettings settings;
            settings.BaudRate = line.BaudRate;
            settings.ByteSize = line.ByteSize;
            settings.Parity = line.Parity;
            settings.StopBits = line.StopBits;
            CServices::Progress().SetText(LoadString(IDS_DETECT_TRYING).arg(candidate.m_strPath, Describe(settings)));
            CServices::Progress().SetPos(step);

            CLineProbe probe(DeviceFor(candidate.m_strPath));
            const CLineProbe::EOutcome outcome = probe.Try(candidate.m_strPath, line);
            ++result.m_nTries;
            if (outcome == CLineProbe::PROBE_CANCELLED) {
                result.m_outcome = CDetectResult::DETECT_CANCELLED;
                return result;
            }
            if (outcome == CLineProbe::PROBE_UNAVAILABLE) {
                skipped[i] = true;
                result.m_notes.append(LoadString(IDS_DETECT_SKIPPED).arg(candidate.m_strPath, probe.m_strError));
                continue;
            }
            if (outcome != CLineProbe::PROBE_ANSWERED)
                continue;
            result.m_outcome = CDetectResult::DETECT_FOUND;
            result.m_strDevice = candidate.m_strPath;
            settings.EndMark = probe.m_strEndMark;
            // A device that no port reaches takes over the current port.
            result.m_bNewMapping = candidate.m_nComPort <= 0;
            settings.ComPort = result.m_bNewMapping ? std::max(current.ComPort, 1) : candidate.m_nComPort;
            result.m_settings = settings;
            result.m_bNameGiven = probe.m_bNameGiven;
            result.m_strName = probe.m_strName;
            return result;
        }
        if (!skipped.contains(false))
            break;
    }
    return result;
}

bool CInstrumentDetector::MapPort(int comPort, const QString& device)
{
    return CProfile::WriteSection(kDevicesSection, {{QStringLiteral("COM%1").arg(comPort), device}});
}

bool CInstrumentDetector::Save(const CDetectResult& result)
{
    if (result.m_outcome != CDetectResult::DETECT_FOUND)
        return false;
    if (!result.m_settings.Save())
        return false;
    return !result.m_bNewMapping || MapPort(result.m_settings.ComPort, result.m_strDevice);
}
