#include "gnupg.h"

#include <gpgme++/engineinfo.h>
#include <gpgme++/global.h>
#include <gpgme++/interfaces/passphraseprovider.h>
#include <gpgme.h>

#include <cctype>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <strings.h>
#include <iterator>
#include <sstream>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace pgpc {

using namespace GpgME;

const char *const kArmorVersion = "Version: 2.6.3i";

bool GpgResult::diskFull() const
{
    const auto code = error.code();
    return code == GPG_ERR_ENOSPC || code == GPG_ERR_EDQUOT || code == GPG_ERR_EFBIG;
}

std::string GpgResult::text() const
{
    if (!reason.empty())
        return reason;
    const char *t = error.asString();
    return t && *t ? t : "unknown error";
}

void GpgResult::fail(const Error &e, std::string why)
{
    error = e ? e : Error::fromCode(GPG_ERR_GENERAL);
    if (!why.empty())
        reason = std::move(why);
}

void GpgResult::fail(unsigned gpgErrCode, std::string why)
{
    fail(Error::fromCode(gpgErrCode), std::move(why));
}

void initGpgme()
{
    // gpgme would otherwise run gpgconf twice on every start to find directories that pgp
    // does not need (gpg-connect-agent finds the agent by itself). This also leaves gpgme's
    // Assuan engine without a socket, which is why the cache goes through gpg-connect-agent.
    static bool done = [] {
        setGlobalFlag("disable-gpgconf", "1");
        initializeLibrary();
        return true;
    }();
    (void)done;
}

Session Session::open(GpgResult &r, PassphraseProvider *pass, unsigned options)
{
    initGpgme();
    Session s;
    if (Error e = checkEngine(OpenPGP)) {
        r.fail(e, "GnuPG cannot be started");
        return s;
    }
    s.ctx_ = Context::create(OpenPGP);
    if (!s.ctx_) {
        r.fail(GPG_ERR_ENOMEM, "GnuPG cannot be started");
        return s;
    }
    s.pass_ = pass;
    s.options_ = options;
    s.ctx_->setPinentryMode(Context::PinentryLoopback);
    if (pass)
        s.ctx_->setPassphraseProvider(pass);
    s.ctx_->setArmor(options & Armor);
    s.ctx_->setTextMode(options & TextMode);
    if (options & AlwaysTrust)
        s.ctx_->setFlag("trust-model", "always");
    return s;
}

namespace {

// gpgme moves the data through pipes to gpg, and gives no access to them. With the default
// 64 KiB each 64 KiB costs a switch between gpg and pgp, which on a busy machine takes
// milliseconds; with 1 MiB pipes a 10 MB file goes through in the time gpg alone takes.
// Called from inside gpgme's loop, when the operation's pipes exist.
void widenPipes()
{
    DIR *d = opendir("/proc/self/fd");
    if (!d)
        return;
    while (dirent *e = readdir(d)) {
        char *end = nullptr;
        long fd = std::strtol(e->d_name, &end, 10);
        struct stat st;
        if (!end || *end || fd == dirfd(d) || fstat(int(fd), &st) != 0 || !S_ISFIFO(st.st_mode))
            continue;
        if (fcntl(int(fd), F_SETPIPE_SZ, 1 << 20) < 0)
            fcntl(int(fd), F_SETPIPE_SZ, 256 << 10);
    }
    closedir(d);
}

struct FdReader {
    int fd;
    bool widened = false;
    ssize_t read(char *buf, size_t n)
    {
        if (!widened) {
            widened = true;
            widenPipes();
        }
        for (;;) {
            ssize_t r = ::read(fd, buf, n);
            if (r >= 0 || errno != EINTR)
                return r;
        }
    }
};

// Writes what gpgme hands over to a descriptor, putting the Version line after each
// "-----BEGIN PGP ..." line except a clear signature's first (PGP writes none there).
struct FdWriter {
    int fd;
    bool addVersion;
    bool widened = false;
    bool atLineStart = true;
    std::string line; // an unfinished line that may be an armour header
    int headers = 0;  // Version lines put in so far

    // Whether the rest of an output with one armour header at most can bypass this writer.
    bool done() const { return !addVersion || (headers > 0 && line.empty()); }

    bool writeAll(const char *p, size_t n)
    {
        while (n > 0) {
            ssize_t w = ::write(fd, p, n);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                if (w == 0)
                    errno = EIO;
                return false;
            }
            p += w;
            n -= size_t(w);
        }
        return true;
    }

    // Moves the finished header candidate to out, with the Version line after a header.
    void finishLine(std::string &out)
    {
        static const std::string begin = "-----BEGIN PGP ";
        const bool header = line.rfind(begin, 0) == 0 && line.find("SIGNED MESSAGE") == std::string::npos;
        out += line;
        if (header) {
            out += std::string(kArmorVersion) + "\n";
            ++headers;
        }
        line.clear();
    }

    ssize_t write(const char *buf, size_t n)
    {
        if (!widened) {
            widened = true;
            widenPipes();
        }
        if (!addVersion)
            return writeAll(buf, n) ? ssize_t(n) : -1;
        std::string out;
        out.reserve(n + 64);
        size_t i = 0;
        while (i < n) {
            const char *nl = static_cast<const char *>(std::memchr(buf + i, '\n', n - i));
            size_t end = nl ? size_t(nl - buf) + 1 : n;
            if (!line.empty() || (atLineStart && buf[i] == '-')) {
                line.append(buf + i, end - i);
                if (nl) {
                    finishLine(out);
                } else if (line.size() > 80) {
                    // Too long for a header: a line of text that happens to begin with "-".
                    out += line;
                    line.clear();
                }
            } else {
                out.append(buf + i, end - i);
            }
            atLineStart = nl != nullptr;
            i = end;
        }
        return writeAll(out.data(), out.size()) ? ssize_t(n) : -1;
    }
};

gpgme_ssize_t cbWrite(void *handle, const void *buf, size_t n)
{
    return static_cast<FdWriter *>(handle)->write(static_cast<const char *>(buf), n);
}

gpgme_ssize_t cbNoRead(void *, void *, size_t)
{
    errno = EBADF;
    return -1;
}

gpgme_ssize_t cbRead(void *handle, void *buf, size_t n)
{
    return static_cast<FdReader *>(handle)->read(static_cast<char *>(buf), n);
}

gpgme_ssize_t cbNoWrite(void *, const void *, size_t)
{
    errno = EBADF;
    return -1;
}

void cbReleaseReader(void *handle)
{
    delete static_cast<FdReader *>(handle);
}

void cbRelease(void *handle)
{
    auto *w = static_cast<FdWriter *>(handle);
    if (!w->line.empty())
        w->writeAll(w->line.data(), w->line.size());
    delete w;
}

gpgme_data_cbs writerCallbacks = {cbNoRead, cbWrite, nullptr, cbRelease};
gpgme_data_cbs readerCallbacks = {cbRead, cbNoWrite, nullptr, cbReleaseReader};

} // namespace

FdData fdData(int fd, Direction dir, bool addVersion)
{
    initGpgme();
    FdData d;
    gpgme_data_t raw = nullptr;
    if (dir == Direction::Out) {
        auto *w = new FdWriter{fd, addVersion, false, true, {}, 0};
        if (gpgme_data_new_from_cbs(&raw, &writerCallbacks, w) != 0) {
            delete w;
            raw = nullptr;
        } else {
            d.cb = w;
        }
    } else {
        auto *r = new FdReader{fd};
        if (gpgme_data_new_from_cbs(&raw, &readerCallbacks, r) != 0) {
            delete r;
            raw = nullptr;
        } else {
            d.cb = r;
        }
    }
    if (raw)
        gpgme_data_set_flag(raw, "io-buffer-size", "65536");
    if (!raw) {
        d.data = Data(fd);
        return d;
    }
    d.raw = raw;
    d.fd = fd;
    d.data = Data(raw); // takes ownership of raw
    return d;
}

namespace {

// gpgme copies every byte between our descriptors and gpg's pipes itself, and gpgme 1.18 also
// formats each byte for a debug trace it then throws away: for large files that costs pgp
// as much CPU time as gpg's own work. This event loop (gpgme's user I/O callbacks) runs the
// operation's status and command pipes through gpgme as usual, but lets the kernel move the
// bulk data (splice) from the input file to gpg and from gpg to the output file. Anything
// splice cannot do (a terminal, an append-only file, a write error) goes back to gpgme's own
// handler, so errors such as a full disk come out as before.
class MovingLoop {
public:
    MovingLoop(FdData &in, FdData &out) : in_(in), out_(out) {}

    void attach(gpgme_ctx_t ctx)
    {
        gpgme_io_cbs cbs = {&MovingLoop::add, this, &MovingLoop::remove, &MovingLoop::event, this};
        gpgme_set_io_cbs(ctx, &cbs);
    }

    gpgme_error_t run()
    {
        std::vector<pollfd> fds;
        std::vector<Item *> items;
        while (!done_) {
            fds.clear();
            items.clear();
            for (const auto &it : items_) {
                if (!it->active || it->parked)
                    continue;
                fds.push_back({it->fd, short(it->dir ? POLLIN : POLLOUT), 0});
                items.push_back(it.get());
            }
            // Only pipes gpg stopped reading are left: gpg ended without reading all of its
            // input, and saying nothing of why is no success.
            if (fds.empty())
                return err_ ? err_ : gpg_error(GPG_ERR_BAD_DATA);
            if (poll(fds.data(), fds.size(), -1) < 0) {
                if (errno == EINTR)
                    continue;
                return gpgme_error_from_syserror();
            }
            trickle_ = false;
            for (size_t i = 0; i < fds.size() && !done_; ++i)
                if (fds[i].revents && items[i]->active)
                    serve(*items[i], fds[i].revents);
            // gpg reads and writes some KiB at a time; answering each would switch between
            // gpg and pgp tens of thousands of times. A 1 MiB pipe lasts gpg several ms.
            if (trickle_ && !done_) {
                timespec pause = {0, 1000000};
                nanosleep(&pause, nullptr);
            }
        }
        return err_;
    }

private:
    enum class Role { Gpgme, Input, Output };
    struct Item {
        int fd, dir;
        gpgme_io_cb_t fnc;
        void *fncData;
        bool active = true;
        bool parked = false; // a pipe gpg no longer reads
        Role role = Role::Gpgme;
    };

    static gpgme_error_t add(void *self, int fd, int dir, gpgme_io_cb_t fnc, void *fncData, void **tag)
    {
        auto *l = static_cast<MovingLoop *>(self);
        l->items_.push_back(std::make_unique<Item>(Item{fd, dir, fnc, fncData}));
        *tag = l->items_.back().get();
        return 0;
    }
    static void remove(void *tag) { static_cast<Item *>(tag)->active = false; }
    static void event(void *self, gpgme_event_io_t type, void *typeData)
    {
        auto *l = static_cast<MovingLoop *>(self);
        if (type == GPGME_EVENT_START) {
            l->assignRoles();
        } else if (type == GPGME_EVENT_DONE) {
            l->done_ = true;
            if (auto *d = static_cast<gpgme_io_event_done_data_t>(typeData))
                l->err_ = d->err ? d->err : d->op_err;
        }
    }

    // gpg's engine registers its status pipe first, then gpg's diagnostics, then the
    // operation's data (output, input); the command pipe for pass phrases comes later.
    // Anything else stays with gpgme.
    void assignRoles()
    {
        std::vector<Item *> ins, outs;
        for (const auto &it : items_)
            if (it->active)
                (it->dir ? ins : outs).push_back(it.get());
        if (ins.size() < 2 || ins.size() > 3 || outs.size() != 1 || in_.fd < 0 || out_.fd < 0 || !in_.cb || !out_.cb)
            return;
        outs[0]->role = Role::Input;
        ins.back()->role = Role::Output;
        static_cast<FdReader *>(in_.cb)->widened = true;
        for (int fd : {outs[0]->fd, ins.back()->fd})
            if (fcntl(fd, F_SETPIPE_SZ, 1 << 20) < 0)
                fcntl(fd, F_SETPIPE_SZ, 256 << 10);
    }

    void serve(Item &it, short revents)
    {
        // gpg closed a pipe it had not read to the end. gpgme 1.18 waits for room in it
        // that never comes (its own loop hangs there too); the rest of the operation
        // goes on without it.
        if (!it.dir && (revents & (POLLERR | POLLNVAL)) && !(revents & POLLOUT)) {
            it.parked = true;
            return;
        }
        if (it.role == Role::Output && !static_cast<FdWriter *>(out_.cb)->done())
            return (void)it.fnc(it.fncData, it.fd); // the armour header still goes through the writer
        if (it.role != Role::Gpgme && !(revents & (POLLERR | POLLNVAL))) {
            // Until the pipe is full (or empty): gpg writes a few KiB at a time, and a poll
            // for each would cost more than the moving.
            ssize_t n, moved = 0;
            do {
                n = it.role == Role::Input
                        ? splice(in_.fd, nullptr, it.fd, nullptr, 1 << 20, SPLICE_F_MOVE | SPLICE_F_NONBLOCK)
                        : splice(it.fd, nullptr, out_.fd, nullptr, 1 << 20, SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
                if (n > 0)
                    moved += n;
            } while (n > 0 && moved < (16 << 20));
            if (n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR))) {
                if (moved < (256 << 10))
                    trickle_ = true;
                return;
            }
            // At the end gpgme's handler finds it too and closes the pipe; after an error it
            // does the rest of the copying and reports what goes wrong.
            if (n < 0)
                it.role = Role::Gpgme;
        }
        it.fnc(it.fncData, it.fd);
    }

    FdData &in_, &out_;
    std::vector<std::unique_ptr<Item>> items_;
    bool done_ = false;
    bool trickle_ = false; // the last round moved only a little data
    gpgme_error_t err_ = 0;
};

} // namespace

std::string withVersionLine(const std::string &armored)
{
    std::string out;
    size_t pos = 0;
    while (pos < armored.size()) {
        size_t nl = armored.find('\n', pos);
        size_t end = nl == std::string::npos ? armored.size() : nl + 1;
        out.append(armored, pos, end - pos);
        if (armored.compare(pos, 15, "-----BEGIN PGP ") == 0 &&
            armored.substr(pos, end - pos).find("SIGNED MESSAGE") == std::string::npos && nl != std::string::npos)
            out += std::string(kArmorVersion) + "\n";
        pos = end;
    }
    return out;
}

namespace {

gpgme_error_t cPassphrase(void *hook, const char *hint, const char *info, int prevWasBad, int fd)
{
    bool canceled = false;
    char *pw = static_cast<PassphraseProvider *>(hook)->getPassphrase(hint, info, prevWasBad != 0, canceled);
    if (canceled || !pw) {
        std::free(pw);
        return gpg_error(GPG_ERR_CANCELED);
    }
    std::string line = std::string(pw) + "\n";
    std::memset(pw, 0, std::strlen(pw));
    std::free(pw);
    gpgme_io_writen(fd, line.data(), line.size());
    std::fill(line.begin(), line.end(), '\0');
    return 0;
}

// A C context set up like a session's, with a key looked up in it.
struct RawContext {
    gpgme_ctx_t ctx = nullptr;
    std::vector<gpgme_key_t> keys;
    RawContext(PassphraseProvider *pass, unsigned options)
    {
        if (gpgme_new(&ctx) != 0) {
            ctx = nullptr;
            return;
        }
        gpgme_set_protocol(ctx, GPGME_PROTOCOL_OpenPGP);
        gpgme_set_pinentry_mode(ctx, GPGME_PINENTRY_MODE_LOOPBACK);
        if (pass)
            gpgme_set_passphrase_cb(ctx, cPassphrase, pass);
        gpgme_set_armor(ctx, (options & Armor) != 0);
        gpgme_set_textmode(ctx, (options & TextMode) != 0);
        if (options & AlwaysTrust)
            gpgme_set_ctx_flag(ctx, "trust-model", "always");
    }
    ~RawContext()
    {
        for (gpgme_key_t k : keys)
            gpgme_key_unref(k);
        if (ctx)
            gpgme_release(ctx);
    }
    RawContext(const RawContext &) = delete;
    RawContext &operator=(const RawContext &) = delete;
    gpgme_error_t key(const std::string &fpr, bool secret, gpgme_key_t &out)
    {
        if (!ctx)
            return gpg_error(GPG_ERR_ENOMEM);
        out = nullptr;
        gpgme_error_t e = gpgme_get_key(ctx, fpr.c_str(), &out, secret);
        if (!e)
            keys.push_back(out);
        return e;
    }
};

} // namespace

Error Missing::deleteKey(const Session &s, const std::string &fpr, bool withSecret)
{
    RawContext c(s.pass_, s.options_);
    gpgme_key_t key;
    if (gpgme_error_t e = c.key(fpr, false, key))
        return Error(e);
    unsigned flags = GPGME_DELETE_FORCE | (withSecret ? GPGME_DELETE_ALLOW_SECRET : 0);
    return Error(gpgme_op_delete_ext(c.ctx, key, flags));
}

Error Missing::signKey(const Session &s, const std::string &targetFpr, const std::string &signerFpr)
{
    RawContext c(s.pass_, s.options_);
    gpgme_key_t target, signer;
    if (gpgme_error_t e = c.key(targetFpr, false, target))
        return Error(e);
    if (gpgme_error_t e = c.key(signerFpr, true, signer))
        return Error(e);
    gpgme_signers_add(c.ctx, signer);
    return Error(gpgme_op_keysign(c.ctx, target, nullptr, 0, GPGME_KEYSIGN_NOEXPIRE));
}

Error Missing::encrypt(const Session &s, const std::vector<std::string> &fprs, FdData &in, FdData &out)
{
    std::string recipients;
    for (const std::string &f : fprs) {
        if (f.empty() || f.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
            return Error::fromCode(GPG_ERR_UNUSABLE_PUBKEY);
        recipients += f + "\n";
    }
    RawContext c(s.pass_, s.options_);
    if (!c.ctx || !in.raw || !out.raw)
        return Error::fromCode(GPG_ERR_ENOMEM);
    MovingLoop loop(in, out);
    loop.attach(c.ctx);
    Error e(gpgme_op_encrypt_ext_start(c.ctx, nullptr, recipients.c_str(), GPGME_ENCRYPT_ALWAYS_TRUST, in.raw, out.raw));
    if (!e)
        e = Error(loop.run());
    if (!e) {
        gpgme_encrypt_result_t er = gpgme_op_encrypt_result(c.ctx);
        if (er && er->invalid_recipients)
            e = Error(er->invalid_recipients->reason ? er->invalid_recipients->reason
                                                     : gpg_error(GPG_ERR_UNUSABLE_PUBKEY));
    }
    return e;
}

std::pair<DecryptionResult, VerificationResult> Missing::decryptVerify(const Session &s, FdData &in, FdData &out)
{
    RawContext c(s.pass_, s.options_);
    if (!c.ctx || !in.raw || !out.raw) {
        const Error e = Error::fromCode(GPG_ERR_ENOMEM);
        return {DecryptionResult(e), VerificationResult(e)};
    }
    MovingLoop loop(in, out);
    loop.attach(c.ctx);
    Error e(gpgme_op_decrypt_ext_start(c.ctx, GPGME_DECRYPT_VERIFY, in.raw, out.raw));
    if (!e)
        e = Error(loop.run());
    return {DecryptionResult(c.ctx, e), VerificationResult(c.ctx, e)};
}

VerificationResult Missing::verifyOpaque(const Session &s, FdData &in, FdData &out)
{
    RawContext c(s.pass_, s.options_);
    if (!c.ctx || !in.raw || !out.raw)
        return VerificationResult(Error::fromCode(GPG_ERR_ENOMEM));
    MovingLoop loop(in, out);
    loop.attach(c.ctx);
    Error e(gpgme_op_verify_start(c.ctx, in.raw, nullptr, out.raw));
    if (!e)
        e = Error(loop.run());
    return VerificationResult(c.ctx, e);
}

static std::string toolPath(const char *tool)
{
    const EngineInfo info = engineInfo(GpgEngine);
    const char *gpg = info.fileName();
    if (!gpg)
        return {};
    if (std::strcmp(tool, "gpg") == 0)
        return gpg;
    std::string dir = gpg;
    auto slash = dir.rfind('/');
    return slash == std::string::npos ? std::string(tool) : dir.substr(0, slash + 1) + tool;
}

namespace {

ssize_t sinkWrite(void *hook, const void *buf, size_t size)
{
    (*static_cast<const ToolSink *>(hook))(std::string_view(static_cast<const char *>(buf), size));
    return ssize_t(size);
}
gpgme_data_cbs sinkCallbacks = {cbNoRead, sinkWrite, nullptr, nullptr};

} // namespace

GpgResult runTool(const char *tool, const std::vector<std::string> &args, const ToolSink &sink)
{
    initGpgme();
    GpgResult r;
    const std::string file = toolPath(tool);
    Error err;
    auto ctx = Context::createForEngine(SpawnEngine, &err);
    if (!ctx || err || file.empty()) {
        r.fail(err, "GnuPG cannot be started");
        return r;
    }
    std::vector<const char *> argv = {tool};
    for (const std::string &a : args)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);
    gpgme_data_t raw = nullptr;
    if (gpgme_data_new_from_cbs(&raw, &sinkCallbacks, const_cast<ToolSink *>(&sink)) != 0) {
        r.fail(GPG_ERR_ENOMEM, "GnuPG cannot be started");
        return r;
    }
    // A key listing runs to megabytes: read in gpgme's default 4 KiB steps it costs a
    // poll and a read for every few lines, more than the parsing.
    gpgme_data_set_flag(raw, "io-buffer-size", "1048576");
    Data in, outData(raw), errData;
    in.write("", 0);
    err = ctx->spawn(file.c_str(), argv.data(), in, outData, errData, Context::SpawnNone);
    if (err)
        r.fail(err);
    return r;
}

GpgResult runTool(const char *tool, const std::vector<std::string> &args, std::string &out)
{
    out.clear();
    return runTool(tool, args, [&out](std::string_view piece) { out.append(piece); });
}

bool readHeldGrips(const std::string &answers, std::vector<std::string> &held)
{
    held.clear();
    bool done = false;
    std::istringstream in(answers);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (done && !line.empty())
            return false;
        if (line.rfind("S KEYINFO ", 0) == 0) {
            std::istringstream fields(line);
            const std::vector<std::string> f{std::istream_iterator<std::string>(fields),
                                             std::istream_iterator<std::string>()};
            if (f.size() < 7 || f[2].find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
                return false;
            if (f[6] == "1")
                held.push_back(f[2]);
            else if (f[6] != "-")
                return false;
        } else if (line == "OK") {
            done = true;
        } else if (!line.empty()) {
            return false;
        }
    }
    return done;
}

bool AgentCache::held(std::vector<std::string> &grips)
{
    // With --no-autostart no agent is started just to be asked.
    std::string out;
    return runTool("gpg-connect-agent", {"--no-autostart", "KEYINFO --list", "/bye"}, out).ok() &&
           readHeldGrips(out, grips);
}

void AgentCache::forget(const std::vector<std::string> &grips, const std::vector<std::string> &messages,
                        const std::vector<std::string> *held)
{
    // gpg-connect-agent finds the agent's socket as gpg does, and with --no-autostart starts
    // none: no agent running means nothing is cached.
    std::vector<std::string> keys;
    for (const std::string &g : grips)
        if (!g.empty() && g.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos &&
            std::find(keys.begin(), keys.end(), g) == keys.end())
            keys.push_back(g);
    std::vector<std::string> salts;
    for (const std::string &m : messages)
        if (m.size() > 1 && m[0] == 'S' && m.find_first_not_of("0123456789ABCDEF", 1) == std::string::npos)
            salts.push_back(m);
    // The agent answers a clear by starting a pinentry (to clear its external cache too),
    // which costs more than many a decryption: only what it holds is cleared.
    std::vector<std::string> asked;
    if (!held && !keys.empty() && salts.empty() && this->held(asked))
        held = &asked;
    if (held) {
        auto holds = [held](const std::string &g) {
            return std::any_of(held->begin(), held->end(),
                               [&g](const std::string &h) { return strcasecmp(h.c_str(), g.c_str()) == 0; });
        };
        keys.erase(std::remove_if(keys.begin(), keys.end(), [&](const std::string &g) { return !holds(g); }),
                   keys.end());
    }
    std::vector<std::string> args = {"--no-autostart"};
    for (const std::string &g : keys)
        args.push_back("CLEAR_PASSPHRASE --mode=normal " + g);
    for (const std::string &m : salts)
        args.push_back("CLEAR_PASSPHRASE " + m);
    if (args.size() == 1)
        return;
    args.push_back("/bye");
    std::string out;
    runTool("gpg-connect-agent", args, out);
}

} // namespace pgpc
