#include "FuzzCheck.h"
#include "platform/LocalPaths.h"

#include <QDir>

// Handheld paths ("Data\Job1.txt") from names that a server, the instrument
// or a user chose: a path that is accepted never leads out of the root, with
// either root, whatever separators, dots and characters it holds.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const QString root = input.ConsumeBool() ? QStringLiteral("/") : QDir::tempPath();
    Check(CLocalPaths::SetRoot(root), "the root is a folder");
    const QString handheld = TakeUtf16(input);
    QString native;
    if (!CLocalPaths::ToNative(handheld, native))
        return 0;
    const QString base = CLocalPaths::Root();
    const QString clean = QDir::cleanPath(native);
    Check(clean == base || clean.startsWith(base.endsWith(u'/') ? base : base + u'/'), "a path stays below the root");
    Check(!native.split(u'/').contains(QStringLiteral("..")), "no .. in a native path");
    return 0;
}
