#include "TessaroApp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("Tessaro"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));

    // Options first: --help, --version and a bad --root need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    CTessaroApp tessaro;
    const int exitCode = tessaro.ParseArguments(arguments);
    if (exitCode >= 0)
        return exitCode;

    QApplication app(argc, argv);
    const int result = tessaro.InitInstance() ? QApplication::exec() : 1;
    // Windows go before the application object.
    tessaro.ExitInstance();
    return result;
}
