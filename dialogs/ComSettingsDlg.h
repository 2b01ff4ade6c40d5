#pragma once

#include "instrument/ComSettings.h"
#include "instrument/InstrumentDetector.h"

#include <QDialog>

class QComboBox;
class QFormLayout;
class QLabel;
class QPushButton;

// "COM Settings": edits the serial-port settings stored in the profile. It
// loads its own record when constructed and saves it itself on OK; the
// caller reloads its copy after an OK result.
//
// "Detect" searches for the instrument (CInstrumentDetector, with the
// Transfer window) starting from what the lists show, and selects what it
// found; the user still confirms with OK. A found speed or port that the
// lists lack is added to them. When no port reached the device found, OK
// also makes the chosen port stand for it, if the user kept that port.
class CComSettingsDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CComSettingsDlg(QWidget* parent = nullptr);

    // Inserts an entry at its alphabetical place (compared without regard
    // to case), as a sorted drop-down list does.
    static void AddSorted(QComboBox* list, const QString& text);
    // Selects the first entry that begins with text, compared without regard
    // to case; no match leaves the list without selection.
    static void SelectPrefix(QComboBox* list, const QString& text);

    CComSettings m_settings;

    // The selected text of each list, taken on OK.
    QString m_strBaudRate;
    QString m_strDataBits;
    QString m_strParity;
    QString m_strStopBits;
    QString m_strComPort;
    QString m_strEndMark;

    // The search behind "Detect" (tests give it their devices) and its last result.
    CInstrumentDetector m_detector;
    CDetectResult m_detected;

public slots:
    void accept() override;
    void OnDetect();

private:
    QComboBox* AddList(QFormLayout* form, int id, const QString& label, const QStringList& entries);
    void Select(const CComSettings& settings);
    void SelectDetected();
    void TakeLists(CComSettings& settings);
    void ShowOutcome();

    QComboBox* m_pBaudRate = nullptr;
    QComboBox* m_pDataBits = nullptr;
    QComboBox* m_pParity = nullptr;
    QComboBox* m_pStopBits = nullptr;
    QComboBox* m_pComPort = nullptr;
    QComboBox* m_pEndMark = nullptr;
    QPushButton* m_pDetect = nullptr;
    QLabel* m_pOutcome = nullptr;
};
