#include "ReplaceDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

CReplaceDlg::CReplaceDlg(QWidget* pParent)
    : QDialog(pParent),
      m_pEditFind(new QLineEdit(this)),
      m_pEditReplace(new QLineEdit(this)),
      m_pCheckCase(new QCheckBox(QStringLiteral("Match &case"), this)),
      m_pFindNext(new QPushButton(QStringLiteral("&Find Next"), this)),
      m_pReplace(new QPushButton(QStringLiteral("&Replace"), this)),
      m_pReplaceAll(new QPushButton(QStringLiteral("Replace &All"), this))
{
    setWindowTitle(QStringLiteral("Replace"));
    m_pEditFind->setObjectName(QStringLiteral("findWhat"));
    m_pEditReplace->setObjectName(QStringLiteral("replaceWith"));
    m_pCheckCase->setObjectName(QStringLiteral("matchCase"));
    m_pFindNext->setObjectName(QStringLiteral("findNext"));
    m_pReplace->setObjectName(QStringLiteral("replace"));
    m_pReplaceAll->setObjectName(QStringLiteral("replaceAll"));
    m_pFindNext->setDefault(true);

    auto* pFindLabel = new QLabel(QStringLiteral("Fi&nd what:"), this);
    pFindLabel->setBuddy(m_pEditFind);
    auto* pReplaceLabel = new QLabel(QStringLiteral("Re&place with:"), this);
    pReplaceLabel->setBuddy(m_pEditReplace);
    auto* pCancel = new QPushButton(QStringLiteral("Cancel"), this);

    auto* pLayout = new QGridLayout(this);
    pLayout->addWidget(pFindLabel, 0, 0);
    pLayout->addWidget(m_pEditFind, 0, 1);
    pLayout->addWidget(m_pFindNext, 0, 2);
    pLayout->addWidget(pReplaceLabel, 1, 0);
    pLayout->addWidget(m_pEditReplace, 1, 1);
    pLayout->addWidget(m_pReplace, 1, 2);
    pLayout->addWidget(m_pCheckCase, 2, 0, 1, 2);
    pLayout->addWidget(m_pReplaceAll, 2, 2);
    pLayout->addWidget(pCancel, 3, 2);

    connect(m_pFindNext, &QPushButton::clicked, this, &CReplaceDlg::findNext);
    connect(m_pReplace, &QPushButton::clicked, this, &CReplaceDlg::replaceOne);
    connect(m_pReplaceAll, &QPushButton::clicked, this, &CReplaceDlg::replaceAll);
    connect(pCancel, &QPushButton::clicked, this, &CReplaceDlg::reject);
    connect(m_pEditFind, &QLineEdit::textChanged, this, &CReplaceDlg::UpdateButtons);
    UpdateButtons();
}

void CReplaceDlg::SetFindText(const QString& strFind)
{
    m_pEditFind->setText(strFind);
    m_pEditFind->selectAll();
}

QString CReplaceDlg::FindText() const
{
    return m_pEditFind->text();
}

QString CReplaceDlg::ReplaceText() const
{
    return m_pEditReplace->text();
}

bool CReplaceDlg::MatchCase() const
{
    return m_pCheckCase->isChecked();
}

void CReplaceDlg::UpdateButtons()
{
    const bool bHasText = !m_pEditFind->text().isEmpty();
    m_pFindNext->setEnabled(bHasText);
    m_pReplace->setEnabled(bHasText);
    m_pReplaceAll->setEnabled(bHasText);
}
