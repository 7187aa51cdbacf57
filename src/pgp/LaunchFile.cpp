#include "pgp/LaunchFile.h"

#include "app/AppState.h"
#include "platform/Platform.h"

#include <cstdint>
#include <initializer_list>

namespace pgp {

namespace {

constexpr std::size_t kTitle = 0x002, kTitleSize = 30;
constexpr std::size_t kProgram = 0x024, kProgramSize = 63;

class Image {
public:
    Image() : b_(kLaunchFileSize, '\0') {}
    void byte(std::size_t at, std::uint8_t v) { b_[at] = char(v); }
    void word(std::size_t at, std::uint16_t v)
    {
        b_[at] = char(v & 0xFF);
        b_[at + 1] = char(v >> 8);
    }
    void bytes(std::size_t at, std::initializer_list<std::uint8_t> vs)
    {
        for (auto v : vs)
            b_[at++] = char(v);
    }
    void text(std::size_t at, const std::string &s) { b_.replace(at, s.size(), s); }
    // An extension header: 16-byte name padded with zeros, next, data, length.
    void header(std::size_t at, const char *name, std::uint16_t next, std::uint16_t data, std::uint16_t length)
    {
        text(at, name);
        word(at + 16, next);
        word(at + 18, data);
        word(at + 20, length);
    }
    std::string take() { return std::move(b_); }

private:
    std::string b_;
};

std::string buildTemplate()
{
    Image im;
    im.byte(0x001, 0x78); // checksum, never tested
    im.text(kTitle, std::string("PGP") + std::string(27, ' '));
    im.word(0x020, 640);
    im.word(0x022, 0);
    im.text(kProgram, "PGP.exe");
    im.byte(kCloseOnExitOffset, 0x00);
    im.bytes(0x0E4, {0x00, 0x00, 0x01, 0x00, 0xFF, 0x19, 0x50, 0x00, 0x00, 0x07});

    im.header(0x171, "MICROSOFT PIFEX", 0x0187, 0x0000, 0x0171);
    im.header(0x187, "WINDOWS 386 3.0", 0x0205, 0x019D, 0x0068);
    constexpr std::size_t e386 = 0x19D;
    im.word(e386 + 0x00, 640);
    im.word(e386 + 0x04, 100);
    im.word(e386 + 0x06, 50);
    im.word(e386 + 0x08, 0xFFFF);
    im.word(e386 + 0x0C, 0xFFFF);
    im.bytes(e386 + 0x10, {0x02, 0x00, 0x02, 0x04});
    im.byte(e386 + 0x14, 0x1F);

    im.header(0x205, "WINDOWS VMM 4.0", 0xFFFF, 0x021B, 0x01AC);
    im.text(0x273, "PIFMGR.DLL");
    im.byte(0x2C5, 0x22);
    im.byte(0x2D3, 0x01);
    im.byte(0x2DF, 0x01);
    im.bytes(0x2E3, {0x05, 0x00, 0x19, 0x00, 0x03, 0x00, 0xC8, 0x00, 0xE8, 0x03, 0x02, 0x00, 0x0A, 0x00, 0x01});
    im.byte(0x2F9, 0x1C);
    im.bytes(0x301, {0x07, 0x00, 0x0C, 0x00});
    im.text(0x305, "Terminal");
    im.text(0x325, "Lucida Console");
    im.byte(0x347, 0x03);
    im.bytes(0x34B, {0x50, 0x00, 0x19, 0x00, 0x80, 0x02, 0x2C, 0x01, 0x8C, 0x02, 0x68, 0x01, 0x16});
    im.bytes(0x35B, {0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7E, 0x00, 0xE4, 0x00, 0x0A,
                     0x03, 0x4C, 0x02});
    im.byte(0x3C5, 0x01);
    // The sections end at 0x3C7; the file carries one more zero byte.
    return im.take();
}

} // namespace

const std::string &launchFileTemplate()
{
    static const std::string t = buildTemplate();
    return t;
}

std::string makeLaunchFile(const std::string &title, const std::string &programFile)
{
    std::string f = launchFileTemplate();
    std::string t = title.substr(0, kTitleSize);
    t.resize(kTitleSize, ' ');
    f.replace(kTitle, kTitleSize, t);
    std::string p = programFile.substr(0, kProgramSize - 1);
    p.resize(kProgramSize, '\0');
    f.replace(kProgram, kProgramSize, p);
    return f;
}

std::string launchFilePath(const app::AppState &st)
{
    const auto &fs = *st.sys.fs;
    const std::string inPgp = st.inPgpDir("PGP.pif");
    if (st.userDir.empty() || !fs.isDirectory(st.pgpDir) || fs.isWritable(fs.exists(inPgp) ? inPgp : st.pgpDir))
        return inPgp;
    return st.inUserDir("PGP.pif");
}

bool EnsureLaunchFile(app::AppState &st)
{
    auto &fs = *st.sys.fs;
    if (st.pgpDir.empty())
        return false;
    const std::string path = launchFilePath(st);
    if (fs.exists(path))
        return true;
    if (!fs.isDirectory(st.pgpDir)) {
        st.dialogs->errorBox("Das PGP-Verzeichnis " + st.pgpDir
                             + " existiert nicht; PGP.pif konnte nicht angelegt werden.");
        return false;
    }
    std::string bytes = launchFileTemplate();
    const std::string installed = st.inPgpDir("PGP.pif");
    if (path != installed && fs.exists(installed)) {
        try {
            bytes = fs.readFile(installed);
        } catch (const platform::PlatformError &) {
        }
    }
    try {
        fs.writeFile(path, bytes);
    } catch (const platform::PlatformError &e) {
        st.dialogs->platformError(e.what());
        return false;
    }
    if (!fs.exists(path)) {
        st.dialogs->information(app::fixed::PifError);
        return false;
    }
    return true;
}

void SetCloseOnExit(app::AppState &st, bool close)
{
    st.sys.fs->patchFile(launchFilePath(st), kCloseOnExitOffset,
                         std::string(1, close ? char(kCloseOnExitBit) : '\0'));
}

namespace {

bool closeOnExitIn(const platform::FileSystem &fs, const std::string &path)
{
    if (!fs.exists(path))
        return false;
    try {
        std::string f = fs.readFile(path);
        return f.size() > kCloseOnExitOffset && (std::uint8_t(f[kCloseOnExitOffset]) & kCloseOnExitBit);
    } catch (const platform::PlatformError &) {
        return false;
    }
}

} // namespace

bool readCloseOnExit(const platform::FileSystem &fs, const std::string &pgpDir)
{
    return closeOnExitIn(fs, pgpDir + "/PGP.pif");
}

bool readCloseOnExit(const app::AppState &st)
{
    return closeOnExitIn(*st.sys.fs, launchFilePath(st));
}

} // namespace pgp
