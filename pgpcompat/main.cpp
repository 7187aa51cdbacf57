// pgp: PGP 2.6's command lines, texts and result files on a GnuPG key ring.
#include "commands.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

using namespace pgpc;

static std::string configDir()
{
    if (const char *p = std::getenv("PGPPATH"); p && *p)
        return p;
    const char *home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.pgp";
}

static void usage(const Console &con)
{
    con.line("Usage summary:\n"
             "To encrypt a plaintext file with recipent's public key, type:\n"
             "   pgp -e textfile her_userid [other userids]   (produces textfile.pgp)\n"
             "To sign a plaintext file with your secret key:\n"
             "   pgp -s textfile [-u your_userid]             (produces textfile.pgp)\n"
             "To sign a plaintext file with your secret key, and then encrypt it\n"
             "   with recipent's public key, producing a .pgp file:\n"
             "   pgp -es textfile her_userid [other userids] [-u your_userid]\n"
             "To encrypt with conventional encryption only:  pgp -c textfile\n"
             "To decrypt or check a signature for a ciphertext (.pgp) file:\n"
             "   pgp ciphertextfile [-o plaintextfile]\n"
             "To produce output in ASCII for email, add the -a option to other options.\n"
             "To generate your own unique public/secret key pair:  pgp -kg\n"
             "Key management:  -ka keyfile, -kx[a] userid keyfile, -kv[v][c] [userid],\n"
             "   -kc [userid], -kr userid, -ks her_userid [-u your_userid], -krs userid,\n"
             "   -ke userid, -kd userid\n"
             "Options: +batchmode +force +armor=on +textmode=on +clearsig=on\n"
             "   +language=de +charset=latin1 +myname=... +encrypttoself=on\n"
             "Pass phrases: -z phrase, PGPPASS, or PGPPASSFD=n (read from descriptor n).");
}

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    // The pass phrase pipe is read first, whatever else happens, so the writer never blocks.
    std::optional<std::string> passphrase;
    if (const char *fdText = std::getenv("PGPPASSFD"); fdText && *fdText) {
        char *end = nullptr;
        long fd = std::strtol(fdText, &end, 10);
        std::string pw;
        if (end && *end == '\0' && fd >= 0 && fd < 1024 && readPassFd(int(fd), pw))
            passphrase = pw;
        if (fd > 2)
            close(int(fd));
    }
    if (!passphrase)
        if (const char *p = std::getenv("PGPPASS"))
            passphrase = std::string(p);

    std::vector<std::string> args(argv + 1, argv + argc);
    Invocation inv = parseCommandLine(args);
    if (inv.passphrase)
        passphrase = inv.passphrase;
    // The pass phrase must not linger in the visible argument list.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-z") == 0 && i + 1 < argc) {
            std::memset(argv[i + 1], 'x', std::strlen(argv[i + 1]));
        }
    }

    Settings settings;
    std::string text;
    if (readFile(configDir() + "/config.txt", text))
        for (const auto &[name, value] : parseConfigText(text))
            applySetting(settings, name, value, false);
    for (const auto &[name, value] : inv.plusOptions)
        applySetting(settings, name, value, true);
    if (inv.filter)
        std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);

    if (passphrase && settings.latin1 && !isValidUtf8(*passphrase))
        passphrase = latin1ToUtf8(*passphrase);

    App app(settings, inv, passphrase);
    int code;
    if (!inv.error.empty()) {
        app.con.line(inv.error);
        app.con.say("Invalid arguments.");
        code = ExitBadArg;
    } else if (inv.command == Command::Help) {
        usage(app.con);
        code = ExitOk;
    } else if (inv.operands.empty() && !inv.filter &&
               (inv.command == Command::Decrypt || inv.command == Command::Encrypt ||
                inv.command == Command::Sign)) {
        usage(app.con);
        code = ExitBadArg;
    } else {
        // In filter mode standard output carries the data; messages go to standard error.
        if (inv.filter)
            app.con.toStderr(true);
        code = runCommand(app);
    }
    // PGP's messages that could not be written are a failure too (a full disk under out.txt).
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int err = errno ? errno : EIO;
        std::fprintf(stderr, "Error writing standard output: %s\n", std::strerror(err));
        if (code == ExitOk)
            code = ExitInvalidFile;
    }
    return code;
}
