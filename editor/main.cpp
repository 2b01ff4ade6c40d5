#include "QuillonApp.h"

#include <cstdio>
#include <cstring>

// --help and --version are answered before the application object exists, so
// they need no display. -1: no such option, go on.
static int AnswerInfoOption(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            std::fputs("Usage: quillon [options] [FILE]\n"
                       "Quillon: a small editor for plain 8-bit text files.\n"
                       "\n"
                       "Options:\n"
                       "  -h, --help     Displays help on commandline options.\n"
                       "  -v, --version  Displays version information.\n"
                       "\n"
                       "Arguments:\n"
                       "  FILE           File to open; without it an empty document.\n",
                       stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "-v") == 0 || std::strcmp(argv[i], "--version") == 0) {
            std::fputs("Quillon 1.0\n", stdout);
            return 0;
        }
    }
    return -1;
}

int main(int argc, char** argv)
{
    const int infoResult = AnswerInfoOption(argc, argv);
    if (infoResult >= 0)
        return infoResult;
    CQuillonApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    return app.exec();
}
