#include "instrument/ComSettings.h"
#include "platform/Profile.h"
#include "support/ScopedSettings.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

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
        {{}, {19200, 0, 8, 0, 1, 1}, "\r\n"},
        {{{"EndMark", 0}}, {19200, 0, 8, 0, 1, 2}, "\r"},
        {{{"EndMark", 2}}, {19200, 0, 8, 0, 1, 2}, "\r"},
        {{{"EndMark", -1}}, {19200, 0, 8, 0, 1, 2}, "\r"},
        {{{"ByteSize", 0x107}, {"Parity", 0x202}, {"StopBits", 0x301}, {"ComPorts", 4}, {"BaudRate", 1234}},
         {1234, 2, 7, 1, 4, 1},
         "\r\n"},
    };
    for (const CCase& c : cases) {
        QTemporaryDir dir;
        CScopedProfileFile profile(dir.filePath("p.ini"));
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
