#include "editor/QuillonApp.h"

int main(int argc, char** argv)
{
    CQuillonApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    return app.exec();
}
