#pragma once

#include "support/TestFiles.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

// A stand-in for nmcli, first on PATH while it lives. Each call appends its
// arguments to calls.log ("|arg|arg...", one call a line), copies a
// passwd-file's path, mode and content to passwd.seen, then answers for its
// verb (list, get, modify, up, down): <verb>.out is printed, <verb>.rc is the
// exit code, <verb>.sleep makes it hang.
inline const char kFakeNmcli[] = R"SH(#!/bin/sh
dir=$(dirname "$0"); verb=list; prev=; line=
for a in "$@"; do
  line="$line|$a"
  if [ $verb = list ]; then case "$a" in up|down|modify) verb=$a ;; -g) verb=get ;; esac; fi
  [ "$prev" = passwd-file ] && { echo "$a"; stat -c %a "$a"; cat "$a"; } > "$dir/passwd.seen"
  prev=$a
done
printf '%s\n' "$line" >> "$dir/calls.log"
[ -f "$dir/$verb.sleep" ] && exec sleep 30
[ -f "$dir/$verb.out" ] && cat "$dir/$verb.out"
exit "$(cat "$dir/$verb.rc" 2>/dev/null || echo 0)"
)SH";

class CFakeNmcli
{
public:
    CFakeNmcli() : m_oldPath(qgetenv("PATH"))
    {
        Write("nmcli", kFakeNmcli);
        QFile::setPermissions(Path("nmcli"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("PATH", (m_dir.path() + ":").toUtf8() + m_oldPath);
    }
    ~CFakeNmcli() { qputenv("PATH", m_oldPath); }

    QString Path(const QString& name) const { return m_dir.filePath(name); }
    void Script(const QString& verb, const QByteArray& out, int rc = 0)
    {
        Write(verb + ".out", out);
        Write(verb + ".rc", QByteArray::number(rc));
    }
    void Write(const QString& name, const QByteArray& bytes) { WriteFile(Path(name), bytes); }
    QByteArray Read(const QString& name) const { return ReadFile(Path(name)); }
    // The calls, or those with this verb among their arguments.
    QStringList Calls(const QString& verb = QString()) const
    {
        QStringList calls = QString::fromUtf8(Read("calls.log")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return verb.isEmpty() ? calls : calls.filter(QRegularExpression("\\|" + verb + "(\\||$)"));
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldPath;
};
