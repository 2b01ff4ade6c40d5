#include "QuillonApp.h"

#include "EditorResource.h"
#include "MainFrame.h"
#include "QuillonDoc.h"

CQuillonApp::CQuillonApp(int& argc, char** argv) : QApplication(argc, argv)
{
    setOrganizationName(QStringLiteral("Marvo Pocket Editor"));
    setApplicationName(kAppName);
}

CQuillonApp::~CQuillonApp() = default;

QString CQuillonApp::FileArgument(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (!arguments[i].startsWith(QLatin1Char('-')))
            return arguments[i];
    }
    return QString();
}

bool CQuillonApp::InitInstance()
{
    m_pFrame = std::make_unique<CMainFrame>();
    const QString strFile = FileArgument(arguments());
    if (!strFile.isEmpty() && !m_pFrame->Document()->OnOpenDocument(strFile))
        return false;
    m_pFrame->show();
    m_pFrame->raise();
    m_pFrame->activateWindow();
    return true;
}
