#include <QCoreApplication>

#include <gtest/gtest.h>

// RunProgram finds programs beside this one, which needs an application object.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
