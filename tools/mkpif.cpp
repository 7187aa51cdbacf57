// Writes the program's data files for installing them:
//   quorbix-mkpif OUTPUT                 MakeID.pif, the key-list script's launch file
//   quorbix-mkpif --pgp OUTPUT           PGP.pif, the launch file beside pgp
//   quorbix-mkpif --buttons QXD QXE      the default German and English button tables
#include "buttons/ButtonTable.h"
#include "pgp/LaunchFile.h"

#include <cstdio>
#include <cstring>
#include <fstream>

namespace {

bool write(const char *path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        std::fprintf(stderr, "quorbix-mkpif: cannot write %s\n", path);
    return bool(out);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 2)
        return write(argv[1], pgp::makeLaunchFile("MakeID", "MakeID.bat")) ? 0 : 1;
    if (argc == 3 && std::strcmp(argv[1], "--pgp") == 0)
        return write(argv[2], pgp::launchFileTemplate()) ? 0 : 1;
    if (argc == 4 && std::strcmp(argv[1], "--buttons") == 0)
        return write(argv[2], buttons::encodeTable(buttons::builtinTable(true)))
                       && write(argv[3], buttons::encodeTable(buttons::builtinTable(false)))
                   ? 0
                   : 1;
    std::fprintf(stderr, "usage: quorbix-mkpif OUTPUT | --pgp OUTPUT | --buttons QXD QXE\n");
    return 2;
}
