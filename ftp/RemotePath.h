#pragma once

#include <QString>
#include <QStringList>

// A path on the FTP server as its folder and file names, from the server's
// root. It writes the forms the commands need: Absolute() with a leading "/"
// (the root alone is "/"), Relative() without it (the root is empty). Names
// are joined by a single "/": empty names are dropped when a path is parsed
// or joined, so "//" never reaches the wire.
class CRemotePath
{
public:
    CRemotePath() = default;

    // A path as the server writes it, "/" between names; a leading "/" or
    // none means the same.
    static CRemotePath FromServer(const QString& path);
    // A path of the explorer's tree or of a client caller: "\" or "/"
    // between names ("Data\Job1", "Data/Job1").
    static CRemotePath FromTree(const QString& path);

    bool IsRoot() const { return m_names.isEmpty(); }
    const QStringList& Names() const { return m_names; }
    // The last name; empty for the root.
    QString Name() const { return m_names.isEmpty() ? QString() : m_names.last(); }

    CRemotePath Child(const QString& name) const;
    // name may hold "/" or "\" between several names: "Sub/X".
    CRemotePath Descendant(const QString& relative) const;
    // The folder that holds this path; the root's parent is the root.
    CRemotePath Parent() const;

    // "/Data/Job1", "/" for the root.
    QString Absolute() const;
    // "Data/Job1", empty for the root.
    QString Relative() const;
    // "Data/Job1/", empty for the root: the folder form that listings change
    // into with "CWD /" and show.
    QString FolderForm() const;
    // "Data\Job1": the tree path of the explorer.
    QString TreePath() const;

    bool operator==(const CRemotePath& other) const = default;

private:
    static CRemotePath Split(const QString& path, bool backslash);

    QStringList m_names;
};
