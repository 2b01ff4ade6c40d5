#pragma once

#include <QObject>
#include <QString>

class CQuillonView;

// The document: a file name and the reading and writing of the file. The
// text itself lives in the view.
class CQuillonDoc : public QObject
{
    Q_OBJECT

public:
    explicit CQuillonDoc(CQuillonView* pView, QObject* pParent = nullptr);

    void OnNewDocument();
    // Both report a failure to the user and leave the text and the file
    // name as they were.
    bool OnOpenDocument(const QString& strPath);
    bool OnSaveDocument(const QString& strPath);

    QString GetPathName() const { return m_strPathName; }
    QString GetTitle() const;
    bool IsModified() const;

signals:
    void titleChanged();

private:
    bool ConfirmLowBytes(const QString& strText);
    void SetPathName(const QString& strPath);

    CQuillonView* m_pView;
    QString m_strPathName;
};
