#include "instrument/ComSettings.h"
#include "platform/Profile.h"
#include "support/ScopedSettings.h"

#include <QFile>
#include <QSet>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

// What the profile holds, what loads from it and what is saved back: every
// key has its default, the byte fields keep their low 8 bits, and an end mark
// other than 1 (CR LF) is CR, saved as 2.
TEST(ComSettings, LoadAndSaveThroughTheProfile)
{
    const char* keys[] = {"BaudRate", "Parity", "ByteSize", "StopBits", "ComPorts", "EndMark"};
    struct CCase
    {
        QList<std::pair<const char*, int>> stored;
        QList<int> loaded; // as saved, the end mark as 1 or 2
        QString endMark;
    };
    const QList<CCase> cases = {
        {{{"EndMark", -1}}, {19200, 0, 8, 0, 1, 2}, "\r"},
        {{{"ByteSize", 0x107}, {"Parity", 0x202}, {"StopBits", 0x301}, {"ComPorts", 4}, {"BaudRate", 1234}},
         {1234, 2, 7, 1, 4, 1},
         "\r\n"},
    };
    for (const CCase& c : cases) {
        CTempProfile profile;
        for (const auto& [key, value] : c.stored)
            CProfile::WriteInt("COM_SETTINGS", key, value);
        CComSettings s;
        s.Load();
        EXPECT_EQ(QList<int>({s.BaudRate, s.Parity, s.ByteSize, s.StopBits, s.ComPort}), c.loaded.mid(0, 5));
        EXPECT_EQ(s.EndMark, c.endMark);
        s.Save();
        QList<int> saved;
        for (const char* key : keys)
            saved.append(CProfile::ReadInt("COM_SETTINGS", key, -999));
        EXPECT_EQ(saved, c.loaded);
    }
}

// Two programs saving the settings at once (a dialog and "detect --save"):
// every state of the file holds one program's six keys whole, and the file
// stays private. Each save here writes 1s or 2s into every key.
TEST(ComSettings, ConcurrentSavesLeaveOneWholeResult)
{
    CTempProfile profile;
    const QString& path = profile.m_strPath;
    auto save = [](int n) {
        CComSettings s;
        s.BaudRate = s.Parity = s.ByteSize = s.StopBits = s.ComPort = n;
        s.EndMark = CComSettings::EndMarkFromProfile(n);
        return s.Save();
    };
    const int kSaves = 50;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool ok = true;
        for (int i = 0; i < kSaves; ++i)
            ok = save(2) && ok;
        _exit(ok ? 0 : 1);
    }
    int mixed = 0;
    for (int i = 0; i < kSaves; ++i) {
        EXPECT_TRUE(save(1));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QSet<QByteArray> values;
        for (const QByteArray& line : file.readAll().split('\n'))
            if (line.contains('='))
                values.insert(line.mid(line.indexOf('=') + 1));
        mixed += values.size() != 1;
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(mixed, 0);
    EXPECT_EQ(QFile::permissions(path) & 0x7077, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
