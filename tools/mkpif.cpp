// Writes MakeID.pif, the launch file of the key-list script, to the path
// given, for installing it beside the program.
#include "pgp/LaunchFile.h"

#include <cstdio>
#include <fstream>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorbix-mkpif OUTPUT\n");
        return 2;
    }
    const std::string bytes = pgp::makeLaunchFile("MakeID", "MakeID.bat");
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "quorbix-mkpif: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
