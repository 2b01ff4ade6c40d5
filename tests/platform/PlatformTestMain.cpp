#include "support/TestFiles.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

// RunProgram finds programs beside this one, which needs an application object.
// Started by the RunProgram test, with TESSARO_PROBE_OUT set, this program is
// the program run: it writes its arguments into that file, one per line.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsSet("TESSARO_PROBE_OUT")) {
        QByteArray lines;
        for (int i = 1; i < argc; ++i)
            lines += QByteArray(argv[i]) + '\n';
        return WriteFile(qEnvironmentVariable("TESSARO_PROBE_OUT"), lines) ? 0 : 1;
    }
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
