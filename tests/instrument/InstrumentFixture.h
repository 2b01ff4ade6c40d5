#pragma once

#include "instrument/ComInstrument.h"
#include "instrument/ComSettings.h"
#include "platform/Clock.h"
#include "platform/RecordingProgress.h"
#include "platform/ScriptedPrompt.h"
#include "platform/ScriptedSerialDevice.h"
#include "platform/Services.h"

#include <gtest/gtest.h>

#include <QByteArrayList>
#include <QList>
#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"' << bytes.toStdString() << '"';
}

inline void PrintTo(const QByteArrayList& list, std::ostream* os)
{
    *os << "{";
    for (const QByteArray& b : list)
        *os << '"' << QString::fromLatin1(b).replace("\r", "\\r").replace("\n", "\\n").toStdString() << "\" ";
    *os << "}";
}

inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << "{";
    for (const QString& s : list)
        *os << '"' << QString(s).replace("\r", "\\r").replace("\n", "\\n").toStdString() << "\" ";
    *os << "}";
}

inline void PrintTo(const QList<int>& list, std::ostream* os)
{
    *os << "{";
    for (int v : list)
        *os << v << ' ';
    *os << "}";
}

// A link to a scripted instrument: the device plays the instrument, the
// virtual clock records the pauses, the prompt answers in order.
class InstrumentTest : public ::testing::Test
{
protected:
    static constexpr const char* kDevice = "/dev/tessaro-test";

    InstrumentTest() : m_device(&m_clock), m_services(&m_clock, &m_prompt, &m_progress)
    {
        CComPort::SetDeviceOverride(QString::fromLatin1(kDevice));
        CComSettings settings;
        settings.BaudRate = 19200;
        settings.ByteSize = 8;
        settings.Parity = 0;
        settings.StopBits = 0;
        settings.ComPort = 1;
        settings.EndMark = QStringLiteral("\r\n");
        m_link.SetComSettings(settings);
        m_link.m_port.SetDevice(&m_device);
    }
    ~InstrumentTest() override
    {
        m_link.m_port.SetDevice(nullptr);
        CComPort::SetDeviceOverride(QString());
    }

    void UseEndMarkCr()
    {
        CComSettings settings;
        settings.BaudRate = 19200;
        settings.ByteSize = 8;
        settings.ComPort = 1;
        settings.EndMark = QStringLiteral("\r");
        m_link.SetComSettings(settings);
    }

    // The writes only, without the open/close/purge marks.
    QByteArrayList Writes() const { return m_device.m_writes; }

    static QByteArray Open() { return QByteArray("<open ") + kDevice + ">"; }
    static QByteArray Close() { return "<close>"; }

    CVirtualClock m_clock;
    CScriptedPrompt m_prompt;
    CRecordingProgress m_progress;
    CScriptedSerialDevice m_device;
    CScopedServices m_services;
    CComInstrument m_link;
};
