#pragma once

#include "platform/Prompt.h"

#include <QList>
#include <QStringList>

// A prompt service for tests and scripted runs: it gives the queued answers in
// order and records every text it was shown. A question with no matching
// answer queued is recorded in m_unexpected and answered negatively
// (No, Cancel, Abort), so a test can tell it apart from a scripted answer.
class CScriptedPrompt : public CPrompt
{
public:
    enum EKind { KMessage, KName, KFileExist, KError, KDataDownload };

    void PushButton(int result);
    void PushName(bool ok, const QString& name = QString());
    void PushFileExist(const CFileExistAnswer& answer);
    void PushError(bool goOn);
    void PushDataDownload(bool ok, const QString& resultName = QString(), int formatIndex = 0);

    int MessageBox(const QString& text, const QString& caption, int buttons, int icon) override;
    bool AskName(CNameRequest& request) override;
    CFileExistAnswer AskFileExist(const QString& fileName) override;
    bool AskError(const QString& text) override;
    bool AskDataDownload(CDataDownloadRequest& request) override;

    bool Idle() const { return m_answers.isEmpty() && m_unexpected.isEmpty(); }

    QStringList m_shown;      // message texts, "caption: text" in order
    QStringList m_unexpected; // questions that found no matching answer
    QList<CNameRequest> m_nameRequests;
    QList<CDataDownloadRequest> m_downloadRequests;
    QList<int> m_icons;

private:
    struct CAnswer
    {
        EKind m_kind = KMessage;
        int m_nValue = 0;
        bool m_bOk = false;
        QString m_strText;
        CFileExistAnswer m_fileExist;
    };
    bool Take(EKind kind, const QString& what, CAnswer& answer);

    QList<CAnswer> m_answers;
};
