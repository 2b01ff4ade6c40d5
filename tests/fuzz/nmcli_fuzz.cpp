#include "FuzzCheck.h"
#include "platform/NmcliRemoteAccess.h"

#include <QStringList>

// A field as nmcli's terse output writes it: ":" and "\" escaped by "\".
static QByteArray Escaped(const QString& field)
{
    QByteArray bytes;
    for (char c : field.toUtf8()) {
        if (c == ':' || c == '\\')
            bytes += '\\';
        bytes += c;
    }
    return bytes;
}

// Output of "nmcli -t -f NAME,UUID,TYPE,DEVICE,STATE connection show": at
// most one connection per line, no line break inside a field, and any five
// fields, colons and backslashes included, read back from the line nmcli
// writes for them.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    QStringList fields;
    QByteArray line;
    for (int i = 0; i < 5; ++i) {
        QString field = QString::fromUtf8(input.ConsumeRandomLengthString(40));
        field.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
        line += (i ? ":" : "") + Escaped(field);
        fields.append(field);
    }
    const QByteArray output = QByteArray::fromStdString(input.ConsumeRemainingBytesAsString());
    const QList<CNmcliRemoteAccess::CConnection> any = CNmcliRemoteAccess::ParseConnections(output);
    Check(any.size() <= output.count('\n') + 1, "at most one connection per line");
    for (const CNmcliRemoteAccess::CConnection& connection : any)
        Check(!connection.m_strName.contains(QLatin1Char('\n')), "no line break in a name");

    const QList<CNmcliRemoteAccess::CConnection> one = CNmcliRemoteAccess::ParseConnections(line + "\r\n");
    Check(one.size() == 1, "one line, one connection");
    const CNmcliRemoteAccess::CConnection& got = one.first();
    Check(QStringList{got.m_strName, got.m_strUuid, got.m_strType, got.m_strDevice, got.m_strState} == fields,
          "the fields read back");
    return 0;
}
