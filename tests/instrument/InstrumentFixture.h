#pragma once

#include "instrument/ComInstrument.h"
#include "instrument/ComSettings.h"
#include "platform/Clock.h"
#include "platform/Services.h"
#include "support/RecordingProgress.h"
#include "support/ScopedSettings.h"
#include "support/ScriptedPrompt.h"
#include "support/ScriptedSerialDevice.h"

#include <gtest/gtest.h>

#include <QList>
#include <QString>

#include <memory>
#include <ostream>
#include <utility>

// Readable failure output, with CR and LF made visible.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << QString(text).replace("\r", "\\r").replace("\n", "\\n").toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    PrintTo(QString::fromLatin1(bytes), os);
}

// Table rows as "name,number,values...,empty" so that whole rows compare at once.
inline QString Row(const QString& name, std::initializer_list<int> values)
{
    QStringList fields(name);
    for (int value : values)
        fields.append(QString::number(value));
    return fields.join(',');
}
inline QString Row(const CJobInfo& r)
{
    return Row(r.m_strName, {r.m_nNumber, r.m_nFixBlocks, r.m_nMeasBlocks, r.m_bEmpty});
}
inline QString Row(const CFormatInfo& r)
{
    return Row(r.m_strName, {r.m_nNumber, r.m_nValue1, r.m_nValue2, r.m_bEmpty});
}
inline QString Row(const CCodeListInfo& r)
{
    return Row(r.m_strName, {r.m_nNumber, r.m_nCount, r.m_bEmpty});
}
template <typename T>
QStringList Rows(const QList<T>& table)
{
    QStringList rows;
    for (const T& r : table)
        rows.append(Row(r));
    return rows;
}

// Line settings of port COM<port>, end mark CR LF.
inline CComSettings Settings(qint32 baud, quint8 bits, quint8 parity, quint8 stop, int port = 1)
{
    CComSettings settings;
    settings.BaudRate = baud;
    settings.ByteSize = bits;
    settings.Parity = parity;
    settings.StopBits = stop;
    settings.ComPort = port;
    settings.EndMark = QStringLiteral("\r\n");
    return settings;
}

const QString kLost = "Error: Communication error\nThe device has disappeared";

// What the client writes, each with the instrument's reply.
using Script = QList<std::pair<QByteArray, QByteArray>>;
inline const std::pair<QByteArray, QByteArray> kWakeOk{"c\r\n", "OK\r\n"};

// A link to a scripted instrument: the device plays the instrument, the
// virtual clock records the pauses, the prompt answers in order.
class InstrumentTest : public ::testing::Test
{
protected:
    static constexpr const char* kDevice = "/dev/tessaro-test";

    InstrumentTest() : m_services(&m_clock, &m_prompt, &m_progress), m_deviceOverride(QString::fromLatin1(kDevice))
    {
        m_link.SetComSettings(Settings(19200, 8, 0, 0));
        Fresh();
    }
    ~InstrumentTest() override { m_link.m_port.SetDevice(nullptr); }
    // Every scripted answer was used and no question went unanswered.
    void TearDown() override { EXPECT_TRUE(m_prompt.Idle()) << m_prompt.m_unexpected.join(" | ").toStdString(); }

    // A new instrument on the line playing `script`; pauses and messages start afresh.
    void Fresh(const Script& script = {})
    {
        auto device = std::make_unique<CScriptedSerialDevice>(&m_clock);
        device->m_pProgress = &m_progress;
        m_link.m_port.SetDevice(device.get());
        m_device = std::move(device);
        m_clock.m_pauses.clear();
        m_prompt.m_shown.clear();
        Expect(script);
    }
    void Expect(const Script& script)
    {
        for (const auto& [written, reply] : script)
            m_device->Expect(written, reply);
    }
    // Every write, "|" between them.
    QByteArray Writes() const { return m_device->m_writes.join('|'); }
    static QByteArray Sent(const Script& script)
    {
        QByteArrayList writes;
        for (const auto& step : script)
            writes.append(step.first);
        return writes.join('|');
    }
    // Writes and "<open>" (of kDevice), "<close>", "<purge>", "|" between them.
    QByteArray Trace() const
    {
        return m_device->m_events.join('|').replace(QByteArray("<open ") + kDevice + '>', "<open>");
    }

    CVirtualClock m_clock;
    CScriptedPrompt m_prompt;
    CRecordingProgress m_progress;
    CScopedServices m_services;
    CScopedDeviceOverride m_deviceOverride;
    std::unique_ptr<CScriptedSerialDevice> m_device;
    CComInstrument m_link;
};
