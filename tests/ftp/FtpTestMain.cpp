#include <QCoreApplication>

#include <gtest/gtest.h>

// The sockets and processes of the FTP tests want an application object.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
