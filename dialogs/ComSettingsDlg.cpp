#include "ComSettingsDlg.h"

#include "ControlId.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const int kBaudRates[] = {1200, 2400, 4800, 9600, 19200};

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

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    SelectStored();
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

void CComSettingsDlg::SelectStored()
{
    for (int rate : kBaudRates) {
        if (m_settings.BaudRate == rate)
            SelectPrefix(m_pBaudRate, QString::number(rate));
    }
    if (m_settings.ByteSize == 7 || m_settings.ByteSize == 8)
        SelectPrefix(m_pDataBits, QString::number(m_settings.ByteSize));

    static const char* const parities[] = {"No parity", "Odd", "Even"};
    if (m_settings.Parity <= 2)
        SelectPrefix(m_pParity, QLatin1String(parities[m_settings.Parity]));

    static const char* const stopBits[] = {"1 stop bit", "1.5 stop bits", "2 stop bits"};
    if (m_settings.StopBits <= 2)
        SelectPrefix(m_pStopBits, QLatin1String(stopBits[m_settings.StopBits]));

    SelectPrefix(m_pComPort, QStringLiteral("COM%1:").arg(m_settings.ComPort));
    SelectPrefix(m_pEndMark,
                 m_settings.EndMark == QLatin1String("\r\n") ? QStringLiteral("CRLF") : QStringLiteral("CR"));
}

void CComSettingsDlg::accept()
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
            m_settings.BaudRate = rate;
            break;
        }
    }

    // An empty data-bits or port list stores 0.
    m_settings.ByteSize = static_cast<quint8>(m_strDataBits.toInt());

    if (m_strParity == QLatin1String("Even"))
        m_settings.Parity = 2;
    else if (m_strParity == QLatin1String("No parity"))
        m_settings.Parity = 0;
    else if (m_strParity == QLatin1String("Odd"))
        m_settings.Parity = 1;

    if (m_strStopBits == QLatin1String("1 stop bit"))
        m_settings.StopBits = 0;
    else if (m_strStopBits == QLatin1String("1.5 stop bits"))
        m_settings.StopBits = 1;
    else if (m_strStopBits == QLatin1String("2 stop bits"))
        m_settings.StopBits = 2;

    // "COMn:" without "COM" and ":".
    m_settings.ComPort = m_strComPort.size() > 4 ? m_strComPort.mid(3, m_strComPort.size() - 4).toInt() : 0;

    m_settings.EndMark = m_strEndMark == QLatin1String("CRLF") ? QStringLiteral("\r\n") : QStringLiteral("\r");

    m_settings.Save();
    QDialog::accept();
}
