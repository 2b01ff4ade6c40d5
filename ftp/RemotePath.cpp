#include "RemotePath.h"

CRemotePath CRemotePath::Split(const QString& path, bool backslash)
{
    CRemotePath result;
    QString text = path;
    if (backslash)
        text.replace(QLatin1Char('\\'), QLatin1Char('/'));
    result.m_names = text.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return result;
}

CRemotePath CRemotePath::FromServer(const QString& path)
{
    return Split(path, false);
}

CRemotePath CRemotePath::FromTree(const QString& path)
{
    return Split(path, true);
}

CRemotePath CRemotePath::Child(const QString& name) const
{
    CRemotePath child = *this;
    if (!name.isEmpty())
        child.m_names.append(name);
    return child;
}

CRemotePath CRemotePath::Descendant(const QString& relative) const
{
    CRemotePath descendant = *this;
    descendant.m_names.append(FromTree(relative).m_names);
    return descendant;
}

CRemotePath CRemotePath::Parent() const
{
    CRemotePath parent = *this;
    if (!parent.m_names.isEmpty())
        parent.m_names.removeLast();
    return parent;
}

QString CRemotePath::Absolute() const
{
    return QLatin1Char('/') + Relative();
}

QString CRemotePath::Relative() const
{
    return m_names.join(QLatin1Char('/'));
}

QString CRemotePath::FolderForm() const
{
    return IsRoot() ? QString() : Relative() + QLatin1Char('/');
}

QString CRemotePath::TreePath() const
{
    return m_names.join(QLatin1Char('\\'));
}
