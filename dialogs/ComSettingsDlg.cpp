#include "ComSettingsDlg.h"

#include "ControlId.h"
#include "platform/Profile.h"
#include "platform/Prompt.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const int kBaudRates[] = {1200, 2400, 4800, 9600, 19200};
// Notes shown at most when nothing was found.
constexpr int kShownNotes = 5;

} // namespace

CComSettingsDlg::CComSettingsDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("COM Settings"));
    m_settings.Load();

    auto* form = new QFormLayout;
    m_pBaudRate = AddList(form, 1004, QStringLiteral("Baud Rate"),
                          {QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"),
                           QStringLiteral("9600"), QStringLiteral("19200")});
    m_pDataBits = AddList(form, 1007, QStringLiteral("Data bits"), {QStringLiteral("7"), QStringLiteral("8")});
    m_pParity = AddList(form, 1013, QStringLiteral("Parity"),
                        {QStringLiteral("Even"), QStringLiteral("No parity"), QStringLiteral("Odd")});
    m_pStopBits =
        AddList(form, 1009, QStringLiteral("Stop bits"),
                {QStringLiteral("1 stop bit"), QStringLiteral("1.5 stop bits"), QStringLiteral("2 stop bits")});
    m_pComPort = AddList(form, 1010, QStringLiteral("COM port"),
                         {QStringLiteral("COM1:"), QStringLiteral("COM2:"), QStringLiteral("COM3:")});
    m_pEndMark = AddList(form, 1011, QStringLiteral("End mark"), {QStringLiteral("CRLF"), QStringLiteral("CR")});

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    SetControlId(buttons->button(QDialogButtonBox::Ok), 1, QStringLiteral("OK"));
    SetControlId(buttons->button(QDialogButtonBox::Cancel), 2, QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &CComSettingsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CComSettingsDlg::reject);

    m_pDetect = new QPushButton(LoadString(IDS_DETECT_BUTTON), this);
    SetControlId(m_pDetect, 1040, LoadString(IDS_DETECT_BUTTON));
    m_pDetect->setAutoDefault(false);
    connect(m_pDetect, &QPushButton::clicked, this, &CComSettingsDlg::OnDetect);
    // What the search found: the instrument's name is shown as it came, never as markup.
    m_pOutcome = new QLabel(this);
    m_pOutcome->setTextFormat(Qt::PlainText);
    m_pOutcome->setWordWrap(true);
    SetControlId(m_pOutcome, 1041);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_pDetect);
    layout->addWidget(m_pOutcome);
    layout->addWidget(buttons);

    Select(m_settings);
}

void CComSettingsDlg::AddSorted(QComboBox* list, const QString& text)
{
    int at = 0;
    while (at < list->count() && QString::compare(list->itemText(at), text, Qt::CaseInsensitive) <= 0)
        ++at;
    list->insertItem(at, text);
}

void CComSettingsDlg::SelectPrefix(QComboBox* list, const QString& text)
{
    for (int i = 0; i < list->count(); ++i) {
        if (list->itemText(i).startsWith(text, Qt::CaseInsensitive)) {
            list->setCurrentIndex(i);
            return;
        }
    }
    list->setCurrentIndex(-1);
}

QComboBox* CComSettingsDlg::AddList(QFormLayout* form, int id, const QString& label, const QStringList& entries)
{
    auto* list = new QComboBox(this);
    list->setEditable(false);
    SetControlId(list, id, label);
    for (const QString& entry : entries)
        AddSorted(list, entry);
    // QComboBox selects its first entry by itself; the lists start empty
    // and only the stored values select something.
    list->setCurrentIndex(-1);
    form->addRow(new QLabel(label, this), list);
    return list;
}

void CComSettingsDlg::Select(const CComSettings& settings)
{
    for (int rate : kBaudRates) {
        if (settings.BaudRate == rate)
            SelectPrefix(m_pBaudRate, QString::number(rate));
    }
    if (settings.ByteSize == 7 || settings.ByteSize == 8)
        SelectPrefix(m_pDataBits, QString::number(settings.ByteSize));

    static const char* const parities[] = {"No parity", "Odd", "Even"};
    if (settings.Parity <= 2)
        SelectPrefix(m_pParity, QLatin1String(parities[settings.Parity]));

    static const char* const stopBits[] = {"1 stop bit", "1.5 stop bits", "2 stop bits"};
    if (settings.StopBits <= 2)
        SelectPrefix(m_pStopBits, QLatin1String(stopBits[settings.StopBits]));

    SelectPrefix(m_pComPort, QStringLiteral("COM%1:").arg(settings.ComPort));
    SelectPrefix(m_pEndMark, settings.EndMark == QLatin1String("\r\n") ? QStringLiteral("CRLF") : QStringLiteral("CR"));
}

// The found speed and port may lie beyond the lists' entries: they are added.
void CComSettingsDlg::SelectDetected()
{
    const CComSettings& found = m_detected.m_settings;
    const QString speed = QString::number(found.BaudRate);
    if (m_pBaudRate->findText(speed) < 0)
        AddSorted(m_pBaudRate, speed);
    const QString port = QStringLiteral("COM%1:").arg(found.ComPort);
    if (m_pComPort->findText(port) < 0)
        AddSorted(m_pComPort, port);
    Select(found);
    SelectPrefix(m_pBaudRate, speed);
}

void CComSettingsDlg::ShowOutcome()
{
    const CComSettings& found = m_detected.m_settings;
    const QString endMark = found.EndMark == QLatin1String("\r\n") ? QStringLiteral("CRLF") : QStringLiteral("CR");
    QStringList lines;
    switch (m_detected.m_outcome) {
    case CDetectResult::DETECT_FOUND:
        if (m_detected.m_bNameGiven)
            lines << LoadString(IDS_DETECT_FOUND)
                         .arg(m_detected.m_strName, m_detected.m_strDevice, CInstrumentDetector::Describe(found),
                              endMark);
        else
            lines << LoadString(IDS_DETECT_FOUND_UNNAMED)
                         .arg(m_detected.m_strDevice, CInstrumentDetector::Describe(found), endMark);
        if (m_detected.m_bNewMapping)
            lines << LoadString(IDS_DETECT_WILL_MAP).arg(found.ComPort).arg(m_detected.m_strDevice);
        break;
    case CDetectResult::DETECT_NOT_FOUND:
        lines << LoadString(IDS_DETECT_NOT_FOUND) << m_detected.m_notes.mid(0, kShownNotes);
        if (m_detected.m_notes.size() > kShownNotes)
            lines << LoadString(IDS_DETECT_MORE_NOTES).arg(m_detected.m_notes.size() - kShownNotes);
        break;
    case CDetectResult::DETECT_CANCELLED:
        lines << LoadString(IDS_DETECT_CANCELLED);
        break;
    }
    m_pOutcome->setText(lines.join(QLatin1Char('\n')));
}

void CComSettingsDlg::OnDetect()
{
    // The search starts from what the lists show now.
    CComSettings current = m_settings;
    TakeLists(current);
    // The Transfer window's cancel poll lets events through: no second
    // search and no OK meanwhile.
    setEnabled(false);
    m_detected = m_detector.Run(current);
    setEnabled(true);
    if (m_detected.m_outcome == CDetectResult::DETECT_FOUND)
        SelectDetected();
    ShowOutcome();
}

void CComSettingsDlg::TakeLists(CComSettings& settings)
{
    m_strBaudRate = m_pBaudRate->currentText();
    m_strDataBits = m_pDataBits->currentText();
    m_strParity = m_pParity->currentText();
    m_strStopBits = m_pStopBits->currentText();
    m_strComPort = m_pComPort->currentText();
    m_strEndMark = m_pEndMark->currentText();

    // No selection keeps the stored speed, parity and stop bits.
    for (int rate : kBaudRates) {
        if (m_strBaudRate == QString::number(rate)) {
            settings.BaudRate = rate;
            break;
        }
    }
    const bool detected = m_detected.m_outcome == CDetectResult::DETECT_FOUND;
    if (detected && m_strBaudRate == QString::number(m_detected.m_settings.BaudRate))
        settings.BaudRate = m_detected.m_settings.BaudRate;

    // An empty data-bits or port list stores 0.
    settings.ByteSize = static_cast<quint8>(m_strDataBits.toInt());

    if (m_strParity == QLatin1String("Even"))
        settings.Parity = 2;
    else if (m_strParity == QLatin1String("No parity"))
        settings.Parity = 0;
    else if (m_strParity == QLatin1String("Odd"))
        settings.Parity = 1;

    if (m_strStopBits == QLatin1String("1 stop bit"))
        settings.StopBits = 0;
    else if (m_strStopBits == QLatin1String("1.5 stop bits"))
        settings.StopBits = 1;
    else if (m_strStopBits == QLatin1String("2 stop bits"))
        settings.StopBits = 2;

    // "COMn:" without "COM" and ":".
    settings.ComPort = m_strComPort.size() > 4 ? m_strComPort.mid(3, m_strComPort.size() - 4).toInt() : 0;

    settings.EndMark = m_strEndMark == QLatin1String("CRLF") ? QStringLiteral("\r\n") : QStringLiteral("\r");
}

void CComSettingsDlg::accept()
{
    TakeLists(m_settings);
    if (!m_settings.Save()) {
        CServices::Prompt().MessageBox(LoadString(IDS_PROFILE_NOT_SAVED).arg(CProfile::FilePath()),
                                       LoadString(IDS_ERROR), MB_OK, MB_ICONERROR);
        return;
    }
    // The device found is reached through the port it was found for.
    if (m_detected.m_outcome == CDetectResult::DETECT_FOUND && m_detected.m_bNewMapping
        && m_settings.ComPort == m_detected.m_settings.ComPort)
        CInstrumentDetector::MapPort(m_settings.ComPort, m_detected.m_strDevice);
    QDialog::accept();
}
