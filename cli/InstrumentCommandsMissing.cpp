#include "CliCommands.h"

#include <cstdio>

// Built when the instrument link is left out of a partial build.
int RunInstrumentCommand(const QStringList&, const CCliOptions&)
{
    std::fprintf(stderr, "tessaro-cli: this build has no instrument link\n");
    return EXIT_USAGE;
}

void PrintInstrumentUsage() {}
