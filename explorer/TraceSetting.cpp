#include "TraceSetting.h"

#include "platform/Profile.h"
#include "platform/Prompt.h"
#include "platform/Services.h"
#include "resources/StringTable.h"

#include <QAction>
#include <QMenu>
#include <QSignalBlocker>

namespace {
const QString kSection = QStringLiteral("Settings");
const QString kKey = QStringLiteral("Trace");
} // namespace

CTraceSetting::CTraceSetting(QMenu* menu) : QObject(menu)
{
    m_pAction = menu->addAction(LoadString(IDS_TRACE_MENU));
    m_pAction->setCheckable(true);
    connect(m_pAction, &QAction::toggled, this, &CTraceSetting::Switch);
    if (CProfile::ReadInt(kSection, kKey, 0) != 0)
        m_pAction->setChecked(true);
}

CTraceSetting::~CTraceSetting()
{
    if (m_file.IsOn())
        CServices::SetTrace(nullptr);
}

void CTraceSetting::Switch(bool on)
{
    if (m_file.IsOn())
        CServices::SetTrace(nullptr);
    m_file.Close();
    QString error;
    if (on && !m_file.Open(CTraceFile::DefaultPath(), &error)) {
        const QSignalBlocker blocker(m_pAction);
        m_pAction->setChecked(false);
        on = false;
        CServices::Prompt().MessageBox(LoadString(IDS_TRACE_CANNOT_OPEN).arg(error), LoadString(IDS_ERROR), MB_OK,
                                       MB_ICONERROR);
    }
    if (on)
        CServices::SetTrace(&m_file);
    CProfile::WriteInt(kSection, kKey, on ? 1 : 0);
}
