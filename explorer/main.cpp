#include "TessaroApp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessaro"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));

    CTessaroApp tessaro;
    const int exitCode = tessaro.ParseArguments(QApplication::arguments());
    if (exitCode >= 0)
        return exitCode;
    if (!tessaro.InitInstance())
        return 1;
    return QApplication::exec();
}
