#include "CliCommands.h"

#include <cstdio>

// Built when the FTP link is left out of a partial build.
int RunFtpCommand(const QStringList&, const CCliOptions&)
{
    std::fprintf(stderr, "tessaro-cli: this build has no FTP link\n");
    return EXIT_USAGE;
}

void PrintFtpUsage() {}
