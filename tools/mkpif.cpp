// Writes the launch file template to the path given, for installing MakeID.pif
// beside the program.
#include "pgp/LaunchFile.h"

#include <cstdio>
#include <fstream>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorbix-mkpif OUTPUT\n");
        return 2;
    }
    const auto &bytes = pgp::launchFileTemplate();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return out.good() ? 0 : 1;
}
