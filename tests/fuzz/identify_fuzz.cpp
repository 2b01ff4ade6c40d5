#include "FuzzCheck.h"
#include "instrument/Protocol.h"
#include "platform/Bytes.h"

// The reply to the name request "%R1Q,5004:": only such a reply is taken, a
// name comes from between its quotes, and any name reads back from its reply.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = FromBytes(InputBytes(data, size));
    const QLatin1String prefix("%R1P,0,0:");
    const std::optional<Protocol::CIdentifyReply> reply = Protocol::ParseIdentifyReply(text);
    Check(reply.has_value() == text.startsWith(prefix), "only a name reply is taken");
    if (reply && reply->m_bOk) {
        const QString& name = reply->m_strName;
        Check(text.at(9) == QLatin1Char('0'), "a name only with return code 0");
        Check(text.contains(QLatin1Char('"') + name + QLatin1Char('"')) || (name.isEmpty() && text.count(u'"') == 1),
              "the name is what stands between the quotes");
    }
    const auto named = Protocol::ParseIdentifyReply(prefix + QStringLiteral("0,\"") + text + QStringLiteral("\"\r\n"));
    Check(named && named->m_bOk && named->m_strName == text, "a name reads back from its reply");
    return 0;
}
