#include "CliCommands.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tessaro-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    return RunCli(QCoreApplication::arguments().mid(1));
}
