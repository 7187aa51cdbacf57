#include "worktext.h"

#include "Charset.h"
#include "console.h"

#include <cerrno>
#include <cstdio>
#include <sys/mman.h>
#include <unistd.h>

namespace pgpc::worktext {

namespace {

bool readAll(int fd, std::string &out)
{
    out.clear();
    char buf[65536];
    off_t at = 0;
    for (;;) {
        ssize_t n = pread(fd, buf, sizeof buf, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out.append(buf, size_t(n));
        at += n;
    }
}

bool writeAll(int fd, const std::string &data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = pwrite(fd, data.data() + done, data.size() - done, off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

} // namespace

bool applies(const Settings &s, const Invocation &inv)
{
    if (!s.latin1 || inv.filter || inv.operands.empty())
        return false;
    const std::string &name = inv.operands[0];
    const auto slash = name.rfind('/');
    return name.compare(slash == std::string::npos ? 0 : slash + 1, std::string::npos, "QUORBIX.tmp") == 0;
}

int utf8Copy(int fd)
{
    std::string text;
    if (!readAll(fd, text))
        return -1;
    // In memory, never on a disk: it is the plain text.
    int copy = memfd_create("pgp-worktext", MFD_CLOEXEC);
    if (copy < 0)
        return -1;
    if (!writeAll(copy, charset::cp1252ToUtf8(text)) || lseek(copy, 0, SEEK_SET) != 0) {
        close(copy);
        return -1;
    }
    return copy;
}

bool toWorkText(const Console &con, int fd)
{
    std::string text;
    if (!readAll(fd, text))
        return false;
    if (!charset::isValidUtf8(text))
        return true;
    std::string cp1252;
    if (!charset::utf8ToCp1252(text, cp1252)) {
        const std::string note = con.tr("The text holds characters outside Windows Latin-1; it stays UTF-8.");
        std::fprintf(stderr, "%s\n", charset::utf8ToLatin1(note).c_str());
        return true;
    }
    if (cp1252.size() == text.size())
        return true; // ASCII
    return ftruncate(fd, 0) == 0 && writeAll(fd, cp1252);
}

} // namespace pgpc::worktext
