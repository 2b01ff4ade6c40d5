#include "NodeImages.h"

namespace {
const char* const kFiles[CNodeImages::IMG_COUNT] = {
    "selected-dot", "folder-closed",  "folder-open", "disk-drive",  "document",          "instrument-globe",
    "window",       "document-error", "ftp",         "clipboard",   "code-list",         "folder-instrument",
    "letter-f",     "jobs-stack",     "job-card",    "letters-xyz", "measurement-sheet",
};
}

QString CNodeImages::FileName(int index)
{
    return QStringLiteral(":/icons/%1.svg").arg(QLatin1String(kFiles[index]));
}

void CNodeImages::InitResources()
{
    // The icons live in a static library; their resource must be registered by hand.
    Q_INIT_RESOURCE(icons);
}

void CNodeImages::Build()
{
    InitResources();
    m_icons.clear();
    for (int i = 0; i < IMG_COUNT; ++i) {
        QIcon icon(FileName(i));
        icon.addFile(FileName(IMG_SELECTED), QSize(), QIcon::Selected);
        m_icons.append(icon);
    }
}

QIcon CNodeImages::Icon(int index) const
{
    return index >= 0 && index < m_icons.size() ? m_icons.at(index) : QIcon();
}
