#include "instrument/ComSettings.h"
#include "platform/Profile.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

class ComSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override { CProfile::SetFile(m_dir.filePath("p.ini")); }
    void TearDown() override { CProfile::SetFile(QString()); }
    QTemporaryDir m_dir;
};

TEST_F(ComSettingsTest, EmptySectionGivesTheDefaultsAndSavesEndMarkAsOne)
{
    CComSettings s;
    EXPECT_EQ(s.BaudRate, 0);
    s.Load();
    EXPECT_EQ(s.BaudRate, 19200);
    EXPECT_EQ(s.Parity, 0);
    EXPECT_EQ(s.ByteSize, 8);
    EXPECT_EQ(s.StopBits, 0);
    EXPECT_EQ(s.ComPort, 1);
    EXPECT_EQ(s.EndMark, "\r\n");
    s.Save();
    EXPECT_EQ(CProfile::ReadInt("COM_SETTINGS", "EndMark", 0), 1);
    EXPECT_EQ(CProfile::ReadInt("COM_SETTINGS", "ComPorts", 0), 1);
    EXPECT_EQ(CProfile::ReadInt("COM_SETTINGS", "BaudRate", 0), 19200);
}

TEST_F(ComSettingsTest, EndMarkOtherThanOneLoadsAsCrAndSavesAsTwo)
{
    for (int stored : {0, 2, 5, -1}) {
        CProfile::WriteInt("COM_SETTINGS", "EndMark", stored);
        CComSettings s;
        s.Load();
        EXPECT_EQ(s.EndMark, "\r") << stored;
        s.Save();
        EXPECT_EQ(CProfile::ReadInt("COM_SETTINGS", "EndMark", 0), 2) << stored;
    }
}

TEST_F(ComSettingsTest, ByteFieldsAreTruncatedToEightBitsOnLoading)
{
    CProfile::WriteInt("COM_SETTINGS", "ByteSize", 0x107);
    CProfile::WriteInt("COM_SETTINGS", "Parity", 0x202);
    CProfile::WriteInt("COM_SETTINGS", "StopBits", 0x301);
    CProfile::WriteInt("COM_SETTINGS", "ComPorts", 4);
    CProfile::WriteInt("COM_SETTINGS", "BaudRate", 1234);
    CComSettings s;
    s.Load();
    EXPECT_EQ(s.ByteSize, 7);
    EXPECT_EQ(s.Parity, 2);
    EXPECT_EQ(s.StopBits, 1);
    EXPECT_EQ(s.ComPort, 4);
    EXPECT_EQ(s.BaudRate, 1234);
}
