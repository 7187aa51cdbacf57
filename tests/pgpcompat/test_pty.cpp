// PGP's interactive key commands driven through a pseudo-terminal as a user answers them,
// on a real GnuPG home, with gpg --with-colons as the judge.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::string quote(const std::string &s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct Result {
    int code = -1;
    std::string out;
};

Result sh(const std::string &cmd)
{
    Result r;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return r;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0)
        r.out.append(buf.data(), n);
    int st = pclose(p);
    r.code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::stringstream ss(text);
    std::string l;
    while (std::getline(ss, l))
        out.push_back(l);
    return out;
}

std::vector<std::string> fields(const std::string &line)
{
    std::vector<std::string> f;
    std::stringstream ss(line);
    std::string x;
    while (std::getline(ss, x, ':'))
        f.push_back(x);
    return f;
}

// pgp on the slave side of a pseudo-terminal; what it prints is read as a user would see it.
class Terminal {
public:
    Terminal(const std::string &home, const std::vector<std::string> &args)
    {
        pid_ = forkpty(&fd_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            setenv("GNUPGHOME", home.c_str(), 1);
            setenv("PGPPATH", (home + "/pgp").c_str(), 1);
            unsetenv("PGPPASS");
            unsetenv("PGPPASSFD");
            std::vector<char *> argv;
            argv.push_back(const_cast<char *>(PGP_BINARY));
            for (const std::string &a : args)
                argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            execv(PGP_BINARY, argv.data());
            _exit(127);
        }
    }
    ~Terminal()
    {
        if (pid_ > 0 && code_ < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0)
            close(fd_);
    }
    // Waits until text appears after what was already matched.
    bool expect(const std::string &text, int seconds = 60)
    {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        for (;;) {
            size_t p = seen_.find(text, matched_);
            if (p != std::string::npos) {
                matched_ = p + text.size();
                return true;
            }
            if (std::chrono::steady_clock::now() > until || !readSome(200))
                if (std::chrono::steady_clock::now() > until || eof_)
                    return false;
        }
    }
    void send(const std::string &line)
    {
        std::string l = line + "\n";
        ssize_t n = write(fd_, l.data(), l.size());
        (void)n;
    }
    // The exit code once pgp has ended (all its output read).
    int finish(int seconds = 30)
    {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (!eof_ && std::chrono::steady_clock::now() < until)
            readSome(200);
        int st = 0;
        if (!eof_)
            kill(pid_, SIGKILL);
        waitpid(pid_, &st, 0);
        code_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128;
        return code_;
    }
    const std::string &output() const { return seen_; }

private:
    bool readSome(int ms)
    {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, ms) <= 0)
            return false;
        char buf[4096];
        ssize_t n = read(fd_, buf, sizeof buf);
        if (n <= 0) {
            eof_ = true; // EIO once the slave side is closed
            return false;
        }
        seen_.append(buf, size_t(n));
        return true;
    }
    pid_t pid_ = -1;
    int fd_ = -1;
    int code_ = -1;
    bool eof_ = false;
    std::string seen_;
    size_t matched_ = 0;
};

class Home {
public:
    std::string dir;
    Home()
    {
        char tmpl[] = "/tmp/pgpy.XXXXXX";
        dir = mkdtemp(tmpl);
        // Fast pass-phrase protection keeps key work short on a busy machine.
        std::ofstream(dir + "/gpg-agent.conf") << "s2k-count 65536\n";
        mkdir((dir + "/pgp").c_str(), 0700);
    }
    ~Home()
    {
        sh("gpgconf --homedir " + quote(dir) + " --kill gpg-agent >/dev/null 2>&1");
        sh("rm -rf " + quote(dir));
    }
    std::string gpg(const std::string &args) const
    {
        return "GNUPGHOME=" + quote(dir) + " gpg --batch --quiet --pinentry-mode loopback " + args + " 2>/dev/null";
    }
    std::string colons(const std::string &args) const { return sh(gpg("--with-colons " + args)).out; }
    std::string fpr(const std::string &who) const
    {
        for (const std::string &l : lines(colons("--list-keys " + quote(who))))
            if (l.rfind("fpr:", 0) == 0)
                return fields(l)[9];
        return {};
    }
    std::string makeKey(const std::string &uid, const std::string &pass)
    {
        const std::string pw = "--passphrase " + quote(pass);
        sh(gpg(pw + " --quick-gen-key " + quote(uid) + " ed25519 sign,cert never"));
        std::string f = fpr(uid);
        sh(gpg(pw + " --quick-add-key " + f + " cv25519 encr never"));
        return f;
    }
    // gpg-agent forgets every pass phrase, so the next check asks GnuPG afresh.
    void forgetCache() const { sh("gpgconf --homedir " + quote(dir) + " --reload gpg-agent"); }
    // Whether pass unlocks the secret key of who, with gpg as the judge.
    bool unlocks(const std::string &who, const std::string &pass) const
    {
        forgetCache();
        bool ok = sh(gpg("--passphrase " + quote(pass) + " -u " + who + " -o " + quote(dir + "/unlock.sig") + " --yes --sign " +
                         quote(dir + "/gpg-agent.conf")))
                      .code == 0;
        forgetCache();
        return ok;
    }
    // Signer key IDs of the certifications on who's user IDs, self-signatures left out.
    std::vector<std::string> certifiers(const std::string &who) const
    {
        std::vector<std::string> out;
        std::string self;
        bool inUid = false;
        for (const std::string &l : lines(colons("--list-sigs " + who))) {
            auto f = fields(l);
            if (f[0] == "pub")
                self = f[4];
            inUid = f[0] == "uid" ? true : (f[0] == "sub" ? false : inUid);
            if (f[0] == "sig" && inUid && f[4] != self && f.size() > 10 && f[10].rfind("1", 0) == 0)
                out.push_back(f[4]);
        }
        return out;
    }
    std::vector<std::string> uids(const std::string &who) const
    {
        std::vector<std::string> out;
        for (const std::string &l : lines(colons("--list-keys " + who)))
            if (l.rfind("uid:", 0) == 0)
                out.push_back(fields(l)[9]);
        return out;
    }
    std::string listing() const { return colons("--list-sigs"); }
};

std::string id8(const std::string &fpr) { return fpr.substr(fpr.size() - 8); }

TEST(PgpTerminal, KeyGenerationMakesAUsablePairOfEachOfferedType)
{
    struct Case {
        const char *choice, *algo, *bits;
    };
    const std::vector<Case> cases = {{"1", "1", "3072"}, {"2", "1", "4096"}, {"3", "22", "255"}};
    std::vector<std::unique_ptr<Home>> homes;
    std::vector<std::string> outputs(cases.size());
    std::vector<int> codes(cases.size(), -1);
    std::vector<std::thread> runs;
    // The three key types at once: RSA key generation dominates the time.
    for (size_t i = 0; i < cases.size(); ++i) {
        homes.push_back(std::make_unique<Home>());
        runs.emplace_back([&, i] {
            Terminal t(homes[i]->dir, {"-kg"});
            bool ok = t.expect("Choose 1, 2 or 3: ");
            t.send(cases[i].choice);
            ok = ok && t.expect("Enter a user ID for your public key: ");
            t.send("New User " + std::to_string(i) + " <new" + std::to_string(i) + "@example.org>");
            ok = ok && t.expect("Enter pass phrase: ");
            t.send("secret words");
            ok = ok && t.expect("Enter pass phrase again: ");
            t.send("secret words");
            ok = ok && t.expect("Key generation completed.", 180);
            codes[i] = ok ? t.finish() : -2;
            outputs[i] = t.output();
        });
    }
    for (std::thread &t : runs)
        t.join();
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].choice);
        const Home &h = *homes[i];
        EXPECT_EQ(codes[i], 0) << outputs[i];
        EXPECT_EQ(outputs[i].find("secret words"), std::string::npos) << "the pass phrase is not echoed";
        const std::string who = "new" + std::to_string(i) + "@example.org";
        bool sec = false, encSub = false;
        for (const std::string &l : lines(h.colons("--list-secret-keys " + who))) {
            auto f = fields(l);
            if (f[0] == "sec") {
                sec = true;
                EXPECT_EQ(f[3], cases[i].algo);
                EXPECT_EQ(f[2], cases[i].bits);
                EXPECT_NE(f[11].find('s'), std::string::npos);
            }
            if (f[0] == "ssb" && f[11].find('e') != std::string::npos)
                encSub = true;
        }
        EXPECT_TRUE(sec && encSub) << h.colons("--list-secret-keys");
        // Usable: gpg encrypts to it and decrypts with the pass phrase typed at the prompt.
        Result rt = sh("echo round trip | " + h.gpg("--trust-model always -r " + who + " -e") + " | " +
                       h.gpg("--passphrase 'secret words' -d"));
        EXPECT_EQ(rt.out, "round trip\n");
        EXPECT_FALSE(h.unlocks(who, "other words"));
    }

    // A key type not offered: nothing is made.
    Home h;
    Terminal t(h.dir, {"-kg"});
    ASSERT_TRUE(t.expect("Choose 1, 2 or 3: ")) << t.output();
    t.send("7");
    EXPECT_NE(t.finish(), 0);
    EXPECT_EQ(h.colons("--list-secret-keys"), "");
}

class PgpKeyCommands : public ::testing::Test {
protected:
    Home h;
    std::string alice, bob, carol;
    void SetUp() override
    {
        alice = h.makeKey("Alice Test <alice@example.org>", "alice pw");
        bob = h.makeKey("Bob Test <bob@example.org>", "bob pw");
        ASSERT_FALSE(alice.empty());
        ASSERT_FALSE(bob.empty());
        h.forgetCache();
    }
};

TEST_F(PgpKeyCommands, EditChangesPassPhraseAndAddsUserId)
{
    // A wrong current pass phrase changes nothing.
    {
        Terminal t(h.dir, {"-ke", "alice"});
        ASSERT_TRUE(t.expect("Do you want to add a new user ID (y/N)? ")) << t.output();
        t.send("n");
        ASSERT_TRUE(t.expect("Do you want to change your pass phrase (y/N)? ")) << t.output();
        t.send("y");
        ASSERT_TRUE(t.expect("Enter pass phrase: ")) << t.output();
        t.send("not alice");
        ASSERT_TRUE(t.expect("Enter the new pass phrase: ")) << t.output();
        t.send("mallory");
        ASSERT_TRUE(t.expect("Enter the new pass phrase again: ")) << t.output();
        t.send("mallory");
        EXPECT_NE(t.finish(), 0) << t.output();
        EXPECT_NE(t.output().find("Bad pass phrase"), std::string::npos) << t.output();
        EXPECT_TRUE(h.unlocks(alice, "alice pw"));
        EXPECT_FALSE(h.unlocks(alice, "mallory"));
    }
    const std::string before = h.listing();
    {
        // "n" to both questions: nothing changes.
        Terminal t(h.dir, {"-ke", "alice"});
        ASSERT_TRUE(t.expect("(y/N)? ")) << t.output();
        t.send("n");
        ASSERT_TRUE(t.expect("(y/N)? ")) << t.output();
        t.send("n");
        t.finish();
        EXPECT_EQ(h.listing(), before);
    }
    Terminal t(h.dir, {"-ke", "alice"});
    ASSERT_TRUE(t.expect("Current user ID: Alice Test <alice@example.org>")) << t.output();
    ASSERT_TRUE(t.expect("Do you want to add a new user ID (y/N)? ")) << t.output();
    t.send("y");
    ASSERT_TRUE(t.expect("Enter the new user ID: ")) << t.output();
    t.send("Alice Work <alice@work.example>");
    ASSERT_TRUE(t.expect("Enter pass phrase: ")) << t.output();
    t.send("alice pw");
    ASSERT_TRUE(t.expect("User ID added.")) << t.output();
    ASSERT_TRUE(t.expect("Do you want to change your pass phrase (y/N)? ")) << t.output();
    t.send("y");
    ASSERT_TRUE(t.expect("Enter pass phrase: ")) << t.output();
    t.send("alice pw");
    ASSERT_TRUE(t.expect("Enter the new pass phrase: ")) << t.output();
    t.send("alice new");
    ASSERT_TRUE(t.expect("Enter the new pass phrase again: ")) << t.output();
    t.send("alice new");
    ASSERT_TRUE(t.expect("Pass phrase changed.")) << t.output();
    EXPECT_EQ(t.finish(), 0) << t.output();
    EXPECT_FALSE(h.unlocks(alice, "alice pw")) << "the old pass phrase is refused afterwards";
    EXPECT_TRUE(h.unlocks(alice, "alice new"));
    auto u = h.uids(alice);
    EXPECT_NE(std::find(u.begin(), u.end(), "Alice Work <alice@work.example>"), u.end());
}

TEST_F(PgpKeyCommands, SignCertifiesAndRemoveSignaturesTakesExactlyTheChosen)
{
    const std::string before = h.listing();
    // "n" at the question, then a wrong pass phrase, then an unknown key: no certification.
    {
        Terminal t(h.dir, {"-ks", "bob", "-u", "alice"});
        ASSERT_TRUE(t.expect("above user ID (y/N)? ")) << t.output();
        t.send("n");
        EXPECT_NE(t.finish(), 0);
    }
    {
        Terminal t(h.dir, {"-ks", "bob", "-u", "alice"});
        ASSERT_TRUE(t.expect("above user ID (y/N)? ")) << t.output();
        t.send("y");
        ASSERT_TRUE(t.expect("Enter pass phrase: ")) << t.output();
        t.send("wrong");
        EXPECT_NE(t.finish(), 0);
        EXPECT_NE(t.output().find("Error:  Bad pass phrase."), std::string::npos) << t.output();
    }
    {
        Terminal t(h.dir, {"-ks", "nobody@nowhere", "-u", "alice"});
        EXPECT_EQ(t.finish(), 11) << t.output();
    }
    EXPECT_EQ(h.listing(), before);

    for (const auto &[target, signer, pw] : {std::tuple{"bob", "alice", "alice pw"}, std::tuple{"alice", "bob", "bob pw"}}) {
        Terminal t(h.dir, {"-ks", target, "-u", signer});
        ASSERT_TRUE(t.expect("above user ID (y/N)? ")) << t.output();
        t.send("y");
        ASSERT_TRUE(t.expect("Enter pass phrase: ")) << t.output();
        t.send(pw);
        ASSERT_TRUE(t.expect("Key signature certificate added.")) << t.output();
        EXPECT_EQ(t.finish(), 0);
    }
    // Carol certifies Bob too, so -krs has two certifications to choose between.
    carol = h.makeKey("Carol Test <carol@example.org>", "carol pw");
    sh(h.gpg("--passphrase 'carol pw' -u " + carol + " --quick-sign-key " + bob));
    auto certs = h.certifiers(bob);
    ASSERT_EQ(certs.size(), 2u) << h.colons("--list-sigs " + bob);

    const std::string signedRing = h.listing();
    {
        // "n" for every signature: nothing removed.
        Terminal t(h.dir, {"-krs", "bob"});
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(t.expect("Remove this signature (y/N)? ")) << t.output();
            t.send("n");
        }
        ASSERT_TRUE(t.expect("No key signatures removed.")) << t.output();
        t.finish();
        EXPECT_EQ(h.listing(), signedRing);
    }
    // Remove Carol's certification only; the order is the one -krs shows.
    Terminal t(h.dir, {"-krs", "bob"});
    int removed = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(t.expect("\nsig ")) << t.output();
        ASSERT_TRUE(t.expect("Remove this signature (y/N)? ")) << t.output();
        const std::string shown = t.output().substr(t.output().rfind("\nsig "), 40);
        bool isCarol = shown.find(id8(carol)) != std::string::npos;
        removed += isCarol;
        t.send(isCarol ? "y" : "n");
    }
    ASSERT_EQ(removed, 1);
    ASSERT_TRUE(t.expect("1 key signature(s) removed.")) << t.output();
    EXPECT_EQ(t.finish(), 0);
    EXPECT_EQ(h.certifiers(bob), std::vector<std::string>{alice.substr(24)});
    EXPECT_EQ(h.certifiers(alice), std::vector<std::string>{bob.substr(24)}) << "other keys keep theirs";
}

TEST_F(PgpKeyCommands, RevocationShowsInGnuPGAndTravelsWithExtraction)
{
    const std::string before = h.listing();
    {
        // "n" to revoking and to disabling: nothing changes.
        Terminal t(h.dir, {"-kd", "alice"});
        ASSERT_TRUE(t.expect("(y/N)? ")) << t.output();
        t.send("n");
        ASSERT_TRUE(t.expect("Do you want to disable this key (y/N)? ")) << t.output();
        t.send("n");
        t.finish();
    }
    {
        Terminal t(h.dir, {"-kd", "alice"});
        ASSERT_TRUE(t.expect("(y/N)? ")) << t.output();
        t.send("y");
        ASSERT_TRUE(t.expect("Enter pass phrase: ")) << t.output();
        t.send("wrong");
        EXPECT_NE(t.finish(), 0);
    }
    EXPECT_EQ(h.listing(), before);

    Terminal t(h.dir, {"-kd", "alice"});
    ASSERT_TRUE(t.expect("for \"Alice Test <alice@example.org>\" (y/N)? ")) << t.output();
    t.send("y");
    ASSERT_TRUE(t.expect("Enter pass phrase: ")) << t.output();
    t.send("alice pw");
    ASSERT_TRUE(t.expect("Key compromise certificate created.")) << t.output();
    EXPECT_EQ(t.finish(), 0) << t.output();
    EXPECT_EQ(fields(lines(h.colons("--list-keys " + alice))[1])[1], "r") << h.colons("--list-keys " + alice);

    // The revocation goes along with the extracted key into another ring.
    Terminal x(h.dir, {"-kxa", "alice", h.dir + "/alice", "+force"});
    EXPECT_EQ(x.finish(), 0) << x.output();
    Home other;
    sh(other.gpg("--import " + quote(h.dir + "/alice.asc")));
    auto pub = lines(other.colons("--list-keys " + alice));
    ASSERT_GE(pub.size(), 2u);
    EXPECT_EQ(fields(pub[1])[1], "r") << other.colons("--list-keys");
}

TEST_F(PgpKeyCommands, RemoveOfferedForOneUserIdOfSeveral)
{
    sh(h.gpg("--passphrase 'bob pw' --quick-add-uid " + bob + " 'Bob Home <bob@home.example>'"));
    ASSERT_EQ(h.uids(bob).size(), 2u);
    const std::string before = h.listing();
    {
        Terminal t(h.dir, {"-kr", "bob@home.example"});
        ASSERT_TRUE(t.expect("Do you want to remove the whole key (y/N)? ")) << t.output();
        t.send("n");
        ASSERT_TRUE(t.expect("Remove \"Bob Home <bob@home.example>\" (y/N)? ")) << t.output();
        t.send("n");
        EXPECT_NE(t.finish(), 0);
        EXPECT_EQ(h.listing(), before);
    }
    Terminal t(h.dir, {"-kr", "bob@home.example"});
    ASSERT_TRUE(t.expect("Do you want to remove the whole key (y/N)? ")) << t.output();
    t.send("n");
    ASSERT_TRUE(t.expect("Remove \"Bob Home <bob@home.example>\" (y/N)? ")) << t.output();
    t.send("y");
    ASSERT_TRUE(t.expect("User ID removed from key ring.")) << t.output();
    EXPECT_EQ(t.finish(), 0) << t.output();
    EXPECT_EQ(h.uids(bob), std::vector<std::string>{"Bob Test <bob@example.org>"});
    EXPECT_TRUE(h.unlocks(bob, "bob pw")) << "the secret key stays";

    // The key's only user ID: the whole-key questions, and "n" keeps it.
    Terminal one(h.dir, {"-kr", "alice@example.org"});
    ASSERT_TRUE(one.expect("Are you sure you want this key removed (y/N)? ")) << one.output();
    one.send("n");
    EXPECT_EQ(one.finish(), 16);
    EXPECT_EQ(h.fpr("alice@example.org"), alice);
}

} // namespace
