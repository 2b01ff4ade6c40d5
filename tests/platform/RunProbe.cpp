// Helper for the RunProgram test: records its arguments, one per line.
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const char* path = std::getenv("TESSARO_PROBE_OUT");
    if (!path)
        return 1;
    std::FILE* out = std::fopen(path, "w");
    if (!out)
        return 1;
    for (int i = 1; i < argc; ++i)
        std::fprintf(out, "%s\n", argv[i]);
    std::fclose(out);
    return 0;
}
