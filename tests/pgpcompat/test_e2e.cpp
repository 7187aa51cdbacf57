// Runs the built pgp on a temporary GnuPG home, with gpg itself as the judge.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Result {
    int code = -1;
    std::string out;
};

std::string quote(const std::string &s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

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

std::string slurp(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void spit(const std::string &path, const std::string &data)
{
    std::ofstream f(path, std::ios::binary);
    f << data;
}

bool exists(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

class Home {
public:
    std::string dir;
    Home()
    {
        char tmpl[] = "/tmp/pgpt.XXXXXX";
        dir = mkdtemp(tmpl);
        // Fast pass-phrase protection keeps key generation short on a busy machine.
        spit(dir + "/gpg-agent.conf", "s2k-count 65536\n");
    }
    ~Home()
    {
        sh("gpgconf --homedir " + quote(dir) + " --kill gpg-agent >/dev/null 2>&1");
        sh("rm -rf " + quote(dir));
    }
    std::string gpg(const std::string &args) const
    {
        return "GNUPGHOME=" + quote(dir) + " gpg --batch --quiet --pinentry-mode loopback " + args;
    }
    std::string fpr(const std::string &who) const
    {
        Result r = sh(gpg("--with-colons --list-keys " + quote(who) + " 2>/dev/null"));
        auto p = r.out.find("\nfpr:");
        if (p == std::string::npos)
            return {};
        std::string rest = r.out.substr(p + 1);
        // fpr:::::::::FINGERPRINT:
        size_t f = 0;
        for (int i = 0; i < 9; ++i)
            f = rest.find(':', f) + 1;
        return rest.substr(f, rest.find(':', f) - f);
    }
    void makeKey(const std::string &uid, const std::string &pass)
    {
        std::string pw = pass.empty() ? "--passphrase ''" : "--passphrase " + quote(pass);
        ASSERT_EQ(sh(gpg(pw + " --quick-gen-key " + quote(uid) + " ed25519 sign,cert never 2>&1")).code, 0);
        std::string f = fpr(uid);
        ASSERT_EQ(sh(gpg(pw + " --quick-add-key " + f + " cv25519 encr never 2>&1")).code, 0);
    }
    // Runs pgp in dir work; pass, when set, goes through PGPPASSFD.
    Result pgp(const std::string &args, const std::string &work, const char *pass = nullptr) const
    {
        std::string cmd = "cd " + quote(work) + " && env -u PGPPASS GNUPGHOME=" + quote(dir) +
                          " PGPPATH=" + quote(dir + "/pgp");
        if (pass) {
            spit(work + "/.pass", std::string(pass) + "\n");
            cmd += " PGPPASSFD=3 " + std::string(PGP_BINARY) + " " + args + " 3<.pass";
        } else {
            cmd += " " + std::string(PGP_BINARY) + " " + args + " </dev/null";
        }
        Result r = sh(cmd + " 2>/dev/null");
        if (pass)
            unlink((work + "/.pass").c_str());
        return r;
    }
};

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::stringstream ss(text);
    std::string l;
    while (std::getline(ss, l))
        out.push_back(l);
    return out;
}

class PgpEndToEnd : public ::testing::Test {
protected:
    static Home *home;
    static std::string alice, bob, work;

    static void SetUpTestSuite()
    {
        home = new Home;
        home->makeKey("Alice Test <alice@example.org>", "alice");
        home->makeKey("Bob Test <bob@example.org>", "bob");
        alice = home->fpr("alice@example.org");
        bob = home->fpr("bob@example.org");
        sh(home->gpg("--passphrase bob -u " + bob + " --quick-sign-key " + alice + " 2>&1"));
        work = home->dir + "/work";
        mkdir(work.c_str(), 0700);
    }
    static void TearDownTestSuite()
    {
        sh("umount " + quote(work + "/full") + " 2>/dev/null"); // left mounted by a failed check
        sh("umount " + quote(work + "/fullbig") + " 2>/dev/null");
        delete home;
        home = nullptr;
    }
    static std::string id8(const std::string &fpr) { return fpr.substr(fpr.size() - 8); }
};
Home *PgpEndToEnd::home = nullptr;
std::string PgpEndToEnd::alice, PgpEndToEnd::bob, PgpEndToEnd::work;

TEST_F(PgpEndToEnd, ListingsMatchGnuPG)
{
    ASSERT_FALSE(alice.empty());
    ASSERT_FALSE(bob.empty());
    // gpg's view: primary fingerprints and (non-revocation) certifications per key.
    Result colons = sh(home->gpg("--with-colons --list-sigs 2>/dev/null"));
    std::map<std::string, std::vector<std::string>> gpgSigs; // id8 -> signer id8s
    std::string current;
    bool wantFpr = false;
    for (const std::string &l : lines(colons.out)) {
        if (l.rfind("pub:", 0) == 0)
            wantFpr = true;
        else if (l.rfind("sub:", 0) == 0)
            current.clear();
        else if (l.rfind("fpr:", 0) == 0 && wantFpr) {
            std::string f = l.substr(0, l.size() - 1);
            current = id8(f.substr(f.rfind(':') + 1));
            gpgSigs[current];
            wantFpr = false;
        } else if (l.rfind("sig:", 0) == 0 && !current.empty()) {
            std::string signer = l.substr(0, l.find(':', 0));
            size_t f = 0;
            for (int i = 0; i < 4; ++i)
                f = l.find(':', f) + 1;
            gpgSigs[current].push_back(l.substr(f + 8, 8));
        }
    }
    ASSERT_EQ(gpgSigs.size(), 2u);

    Result kvv = home->pgp("-kvv", work);
    ASSERT_EQ(kvv.code, 0) << kvv.out;
    auto ls = lines(kvv.out);
    ASSERT_GE(ls.size(), 4u);
    EXPECT_EQ(ls[0], "");
    EXPECT_EQ(ls[1].rfind("Key ring: '", 0), 0u);
    EXPECT_EQ(ls[2], "Type Bits/KeyID    Date       User ID");
    std::map<std::string, std::vector<std::string>> pgpSigs;
    std::string key;
    for (const std::string &l : ls) {
        if (l.rfind("pub", 0) == 0) {
            ASSERT_GE(l.size(), 31u);
            EXPECT_EQ(l.substr(5, 4), " 255");
            EXPECT_EQ(l[9], '/');
            EXPECT_EQ(l[18], ' ');
            EXPECT_EQ(l[23], '/');
            EXPECT_EQ(l[26], '/');
            EXPECT_EQ(l[29], ' ');
            key = l.substr(10, 8);
            pgpSigs[key];
        } else if (l.rfind("sig", 0) == 0) {
            EXPECT_EQ(l.substr(3, 7), "       ");
            EXPECT_EQ(l.substr(18, 13), std::string(13, ' '));
            EXPECT_NE(l.substr(31), "");
            pgpSigs[key].push_back(l.substr(10, 8));
        }
    }
    EXPECT_EQ(pgpSigs, gpgSigs);
    EXPECT_EQ(ls.back(), "2 matching keys found.");
    // Bob's certification shows Bob's user ID under Alice.
    EXPECT_NE(kvv.out.find("sig       " + id8(bob) + "             Bob Test <bob@example.org>"),
              std::string::npos);

    Result kv = home->pgp("-kv alice", work);
    EXPECT_NE(kv.out.find("pub   255/" + id8(alice) + " "), std::string::npos);
    EXPECT_EQ(kv.out.find("sig"), std::string::npos);
    EXPECT_NE(kv.out.find("1 matching key found."), std::string::npos);

    Result kvc = home->pgp("-kvc 0x" + id8(bob), work);
    EXPECT_NE(kvc.out.find("Key fingerprint = " + bob.substr(0, 4) + " "), std::string::npos) << kvc.out;

    Result kc = home->pgp("-kc 0x" + id8(alice), work);
    EXPECT_NE(kc.out.find("sig!      " + id8(bob) + " "), std::string::npos) << kc.out;

    Result de = home->pgp("-kv +language=de +CharSet=Latin1", work);
    EXPECT_NE(de.out.find("\n\xF6" "ff   255/"), std::string::npos);
    EXPECT_NE(de.out.find("Es wurden 2 passende Schl\xFCssel gefunden."), std::string::npos);
}

// The whole ring's listings are made without GnuPG's trust data; a revoked key must
// still show as revoked there, and the recipients' listing still knows which keys are valid.
TEST_F(PgpEndToEnd, RevokedKeyInRingListingsAndRecipientValidity)
{
    Home h;
    h.makeKey("Rita Revoked <rita@example.org>", "");
    h.makeKey("Carl Kept <carl@example.org>", "");
    const std::string rita = h.fpr("rita@example.org");
    ASSERT_FALSE(rita.empty());
    // gpg leaves a revocation certificate for every key it makes; its armour line is masked.
    std::string rev = slurp(h.dir + "/openpgp-revocs.d/" + rita + ".rev");
    ASSERT_NE(rev.find(":-----BEGIN"), std::string::npos);
    rev.replace(rev.find(":-----BEGIN"), 1, "");
    spit(h.dir + "/rita.rev", rev);
    ASSERT_EQ(sh(h.gpg("--import " + quote(h.dir + "/rita.rev") + " 2>&1")).code, 0);
    const std::string w = h.dir + "/work";
    mkdir(w.c_str(), 0700);

    for (const char *cmd : {"-kv", "-kvv"}) {
        Result r = h.pgp(cmd, w);
        ASSERT_EQ(r.code, 0) << cmd << r.out;
        const auto ls = lines(r.out);
        size_t i = 0;
        while (i < ls.size() && ls[i].rfind("pub   255/" + id8(rita), 0) != 0)
            ++i;
        ASSERT_LT(i + 1, ls.size()) << cmd << r.out;
        EXPECT_EQ(ls[i].substr(30), "*** KEY REVOKED ***") << cmd;
        EXPECT_EQ(ls[i + 1], std::string(30, ' ') + "Rita Revoked <rita@example.org>") << cmd;
        EXPECT_NE(r.out.find(" Carl Kept <carl@example.org>\n"), std::string::npos) << cmd << r.out;
        EXPECT_NE(r.out.find("2 matching keys found."), std::string::npos) << cmd << r.out;
    }

    // Alice's key in a home where nobody certified it: the warning before encrypting, and
    // none for the home's own (ultimately trusted) key.
    spit(w + "/note.txt", "hello\n");
    sh(home->gpg("--armor --export " + alice + " > " + quote(w + "/alice.asc")));
    ASSERT_EQ(sh(h.gpg("--import " + quote(w + "/alice.asc") + " 2>&1")).code, 0);
    Result toAlice = h.pgp("-e note.txt alice@example.org +batchmode +force", w);
    EXPECT_EQ(toAlice.code, 0) << toAlice.out;
    EXPECT_NE(toAlice.out.find("WARNING:  Because this public key is not certified"), std::string::npos) << toAlice.out;
    Result toCarl = h.pgp("-e note.txt carl@example.org +batchmode +force", w);
    EXPECT_EQ(toCarl.code, 0) << toCarl.out;
    EXPECT_EQ(toCarl.out.find("WARNING:"), std::string::npos) << toCarl.out;
}

TEST_F(PgpEndToEnd, EncryptDecryptAndBadPassPhrase)
{
    const std::string text = "Dear Alice,\r\nsecret \xFC text\r\n";
    spit(work + "/letter.txt", text);
    Result e = home->pgp("-ea letter.txt 0x" + id8(alice) + " +batchmode +force", work);
    ASSERT_EQ(e.code, 0) << e.out;
    EXPECT_NE(e.out.find("Transport armor file: letter.asc"), std::string::npos);
    EXPECT_EQ(e.out.find("WARNING:  Because"), std::string::npos) << "an own key needs no warning";
    ASSERT_TRUE(exists(work + "/letter.asc"));
    EXPECT_EQ(slurp(work + "/letter.asc").rfind("-----BEGIN PGP MESSAGE-----", 0), 0u);
    Result g = sh("cd " + quote(work) + " && " + home->gpg("--passphrase alice --decrypt letter.asc 2>/dev/null"));
    EXPECT_EQ(g.out, text);
    // gpg left alice's pass phrase in the agent's cache; pgp must not decrypt with it.
    // Which of a key's keygrips gpg-agent holds a pass phrase for.
    auto cachedGrips = [&](const std::string &fpr) {
        Result grips = sh(home->gpg("--with-colons --with-keygrip --list-secret-keys " + fpr +
                                    " | awk -F: '/^grp/{print $10}'"));
        Result info = sh("GNUPGHOME=" + quote(home->dir) + " gpg-connect-agent 'KEYINFO --list' /bye");
        int n = 0;
        for (const std::string &g : lines(grips.out))
            for (const std::string &l : lines(info.out))
                if (!g.empty() && l.find(" " + g + " ") != std::string::npos && l.find(" 1 P ") != std::string::npos)
                    ++n;
        return n;
    };
    // Another program's cached pass phrase for bob, whose key this run does not use.
    sh(home->gpg("--passphrase bob -u " + bob + " -o " + quote(work + "/bob.sig") + " --yes -s " + quote(work + "/letter.txt")));
    ASSERT_GT(cachedGrips(bob), 0);
    const std::string cached = std::to_string(cachedGrips(alice)) + "\n";
    EXPECT_NE(cached, "0\n") << "the check below needs a cached pass phrase";

    Result wrong = home->pgp("letter.asc +batchmode +force", work, "not alice");
    EXPECT_NE(wrong.code, 0);
    EXPECT_NE(wrong.out.find("Error:  Bad pass phrase."), std::string::npos) << wrong.out;
    EXPECT_FALSE(exists(work + "/letter"));
    Result none = home->pgp("letter.asc +batchmode +force", work);
    EXPECT_NE(none.out.find("Error:  Bad pass phrase."), std::string::npos);
    EXPECT_FALSE(exists(work + "/letter"));

    Result d = home->pgp("letter.asc +batchmode +force", work, "alice");
    EXPECT_EQ(d.code, 0) << d.out;
    EXPECT_NE(d.out.find("Plaintext filename: letter"), std::string::npos);
    EXPECT_EQ(slurp(work + "/letter"), text);
    struct stat st;
    ASSERT_EQ(stat((work + "/letter").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    EXPECT_EQ(cachedGrips(alice), 0) << "pgp leaves no pass phrase of the key it used in the agent";
    EXPECT_GT(cachedGrips(bob), 0) << "nor drops the cached pass phrase of a key it did not use";
    // The pass phrase is not cached between runs: a wrong one fails again.
    unlink((work + "/letter").c_str());
    EXPECT_NE(home->pgp("letter.asc +batchmode +force", work, "wrong").code, 0);
    EXPECT_FALSE(exists(work + "/letter"));

    // Existing output: batch mode without force refuses, and keeps the file.
    spit(work + "/letter", "keep me");
    Result exists1 = home->pgp("letter.asc +batchmode", work, "alice");
    EXPECT_NE(exists1.code, 0);
    EXPECT_NE(exists1.out.find("Output file 'letter' already exists."), std::string::npos);
    EXPECT_EQ(slurp(work + "/letter"), "keep me");

    // A symbolic link planted at the output name is not followed.
    unlink((work + "/letter").c_str());
    spit(work + "/victim", "untouched");
    ASSERT_EQ(symlink("victim", (work + "/letter").c_str()), 0);
    Result link = home->pgp("letter.asc +batchmode +force", work, "alice");
    EXPECT_NE(link.code, 0);
    EXPECT_EQ(slurp(work + "/victim"), "untouched");
    unlink((work + "/letter").c_str());

    // Several recipients; one unknown gets the warning, the others still can read.
    Result multi = home->pgp("-e letter.txt alice nobody@nowhere bob +batchmode +force", work);
    EXPECT_EQ(multi.code, 0) << multi.out;
    EXPECT_NE(multi.out.find("Key matching userid 'nobody@nowhere' not found"), std::string::npos);
    EXPECT_NE(multi.out.find("Ciphertext file: letter.pgp"), std::string::npos);
    Result gb = sh("cd " + quote(work) + " && " + home->gpg("--passphrase bob --decrypt letter.pgp 2>/dev/null"));
    EXPECT_EQ(gb.out, text);
    Result nobody = home->pgp("-ea letter.txt nobody@nowhere +batchmode +force", work);
    EXPECT_EQ(nobody.code, 11);
}

TEST_F(PgpEndToEnd, ClearSignatureVerifiedAndTampered)
{
    spit(work + "/note.txt", "Meeting at noon.\r\nBring the keys.\r\n");
    Result s = home->pgp("-sat note.txt -u alice +batchmode +force", work, "alice");
    ASSERT_EQ(s.code, 0) << s.out;
    EXPECT_NE(s.out.find("Clear signature file: note.asc"), std::string::npos);
    std::string signedText = slurp(work + "/note.asc");
    EXPECT_EQ(signedText.rfind("-----BEGIN PGP SIGNED MESSAGE-----", 0), 0u);
    EXPECT_EQ(sh("cd " + quote(work) + " && " + home->gpg("--verify note.asc 2>/dev/null")).code, 0);

    Result v = home->pgp("note.asc +batchmode +force", work);
    EXPECT_EQ(v.code, 0) << v.out;
    EXPECT_NE(v.out.find("Good signature from user \"Alice Test <alice@example.org>\"."), std::string::npos);
    EXPECT_NE(v.out.find("Signature made "), std::string::npos);
    EXPECT_NE(v.out.find(" GMT using 255-bit key, key ID " + id8(alice)), std::string::npos);

    std::string bad = signedText;
    bad.replace(bad.find("noon"), 4, "nine");
    spit(work + "/bad.asc", bad);
    Result t = home->pgp("bad.asc +batchmode +force", work);
    EXPECT_EQ(t.code, 30);
    EXPECT_NE(t.out.find("WARNING: Bad signature, doesn't match file contents!"), std::string::npos) << t.out;
    EXPECT_EQ(t.out.find("Good signature"), std::string::npos);

    // Detached binary signature beside the text.
    Result sb = home->pgp("-sb note.txt -u bob +batchmode +force", work, "bob");
    ASSERT_EQ(sb.code, 0) << sb.out;
    ASSERT_TRUE(exists(work + "/note.sig"));
    Result chk = home->pgp("note.sig +batchmode", work);
    EXPECT_NE(chk.out.find("Good signature from user \"Bob Test <bob@example.org>\"."), std::string::npos) << chk.out;
    EXPECT_NE(chk.out.find("Text is assumed to be in file 'note'."), std::string::npos);

    // Signing without a pass phrase in batch mode fails and writes nothing.
    unlink((work + "/note.asc").c_str());
    Result np = home->pgp("-sat note.txt -u alice +batchmode +force", work);
    EXPECT_EQ(np.code, 20);
    EXPECT_NE(np.out.find("Error:  Bad pass phrase."), std::string::npos);
    EXPECT_FALSE(exists(work + "/note.asc"));
}

TEST_F(PgpEndToEnd, KeyExtractAddRemoveAcrossHomes)
{
    Result x = home->pgp("-kxa 0x" + id8(bob) + " keyfile +batchmode +force", work);
    ASSERT_EQ(x.code, 0) << x.out;
    std::string kf = slurp(work + "/keyfile.asc");
    auto kl = lines(kf);
    ASSERT_GE(kl.size(), 4u);
    EXPECT_EQ(kl[0], "Type Bits/KeyID    Date       User ID");
    EXPECT_EQ(kl[1].substr(0, 19), "pub   255/" + id8(bob) + " ");
    EXPECT_EQ(kl[2], "");
    EXPECT_EQ(kl[3], "-----BEGIN PGP PUBLIC KEY BLOCK-----");

    Home other;
    Result a = other.pgp("-ka " + quote(work + "/keyfile.asc") + " +batchmode", work);
    EXPECT_EQ(a.code, 0) << a.out;
    EXPECT_NE(a.out.find("   1 new key(s)"), std::string::npos) << a.out;
    EXPECT_EQ(other.fpr("bob@example.org"), bob);
    // Nobody certified Bob in that ring: PGP's warning, and encryption goes ahead in batch mode.
    spit(work + "/for-bob.txt", "hi");
    Result enc = other.pgp("-ea for-bob.txt 0x" + id8(bob) + " +batchmode +force", work);
    EXPECT_EQ(enc.code, 0) << enc.out;
    EXPECT_NE(enc.out.find("WARNING:  Because this public key is not certified with a trusted"),
              std::string::npos) << enc.out;
    EXPECT_TRUE(exists(work + "/for-bob.asc"));
    Result again = other.pgp("-ka keyfile.asc +batchmode", work);
    EXPECT_NE(again.out.find("No new keys or signatures in keyfile."), std::string::npos);

    Result r = other.pgp("-kr 0x" + id8(bob) + " +batchmode +force", work);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("Key removed from key ring."), std::string::npos);
    EXPECT_EQ(other.fpr("bob@example.org"), "");

    // A key with a secret part stays in batch mode.
    Result keep = home->pgp("-kr 0x" + id8(bob) + " +batchmode +force", work);
    EXPECT_EQ(keep.code, 16);
    EXPECT_EQ(home->fpr("bob@example.org"), bob);

    Result missing = other.pgp("-kxa 0x" + id8(alice) + " k2 +batchmode +force", work);
    EXPECT_EQ(missing.code, 11);
    EXPECT_NE(missing.out.find("Key matching userid '0x" + id8(alice) + "' not found in file '"),
              std::string::npos);
}

TEST_F(PgpEndToEnd, EditorFlowOnQuorbixTmp)
{
    const std::string text = "Line one\r\nLine two\r\n";
    const std::string tmp = work + "/QUORBIX.tmp";
    spit(tmp, text);
    Result e = home->pgp("-ea " + quote(tmp) + " 0x" + id8(alice) + " +batchmode +CharSet=Latin1 +force", work);
    ASSERT_EQ(e.code, 0) << e.out;
    ASSERT_TRUE(exists(work + "/QUORBIX.asc"));
    rename((work + "/QUORBIX.asc").c_str(), tmp.c_str());
    Result d = home->pgp(quote(tmp) + " +batchmode +CharSet=Latin1 +force", work, "alice");
    ASSERT_EQ(d.code, 0) << d.out;
    EXPECT_EQ(slurp(work + "/QUORBIX"), text);
    EXPECT_TRUE(exists(tmp)); // the input stays

    // Sign with "b": an armoured detached signature in QUORBIX.asc.
    spit(tmp, text);
    Result sb = home->pgp("-sab " + quote(tmp) + " -u alice +batchmode +force", work, "alice");
    ASSERT_EQ(sb.code, 0) << sb.out;
    EXPECT_EQ(slurp(work + "/QUORBIX.asc").rfind("-----BEGIN PGP SIGNATURE-----", 0), 0u);
}

// The front end's working text is Windows-1252; gpg users and mail programs read UTF-8.
TEST_F(PgpEndToEnd, WorkingTextReachesGnuPGAsUtf8AndComesBack)
{
    const std::string tmp = work + "/QUORBIX.tmp";
    const std::string opts = " +batchmode +CharSet=Latin1 +force";
    auto inWork = [&](const std::string &gpgArgs) { return sh("cd " + quote(work) + " && " + home->gpg(gpgArgs)); };
    auto clean = [&] {
        for (const char *n : {"/QUORBIX.tmp", "/QUORBIX.asc", "/QUORBIX.pgp", "/QUORBIX"})
            unlink((work + n).c_str());
    };
    // "Grüße aus Köln – 5 €" with German quotes, as the editor writes it and as UTF-8.
    const std::string cp = "Gr\xFC\xDF" "e aus K\xF6ln \x96 5 \x80\r\n\x84Hallo\x93\r\n";
    const std::string utf8 = "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln \xE2\x80\x93 5 \xE2\x82\xAC\r\n"
                             "\xE2\x80\x9EHallo\xE2\x80\x9C\r\n";

    // Encrypted from the editor, binary and text mode: gpg gives the UTF-8 text.
    for (const char *cmd : {"-ea ", "-eat "}) {
        clean();
        spit(tmp, cp);
        Result e = home->pgp(cmd + quote(tmp) + " 0x" + id8(alice) + opts, work);
        ASSERT_EQ(e.code, 0) << cmd << e.out;
        Result g = inWork("--passphrase alice --decrypt QUORBIX.asc 2>/dev/null");
        EXPECT_EQ(g.out, utf8) << cmd;
        EXPECT_EQ(slurp(tmp), cp) << "the input file keeps its bytes";
    }

    // gpg's messages of UTF-8 text, binary and text mode, decrypt to the editor's bytes.
    spit(work + "/from-gpg.txt", utf8);
    for (const char *mode : {"", "--textmode "}) {
        clean();
        ASSERT_EQ(inWork(std::string("--yes -o QUORBIX.tmp -r ") + alice + " " + mode + "-ea from-gpg.txt 2>&1").code, 0);
        Result d = home->pgp(quote(tmp) + opts, work, "alice");
        ASSERT_EQ(d.code, 0) << mode << d.out;
        // Text mode leaves the line ends to the reader; the editor takes either.
        std::string got = slurp(work + "/QUORBIX"), want = cp;
        if (*mode) {
            got.erase(std::remove(got.begin(), got.end(), '\r'), got.end());
            want.erase(std::remove(want.begin(), want.end(), '\r'), want.end());
        }
        EXPECT_EQ(got, want) << mode;
    }

    // gpg's clear signature over UTF-8, as the editor holds it (Windows-1252, CR LF): good.
    ASSERT_EQ(inWork("--passphrase bob -u " + bob + " --yes -o gpg-signed.asc --clearsign from-gpg.txt 2>&1").code, 0);
    const std::string gpgSigned = slurp(work + "/gpg-signed.asc");
    auto asEditorWrites = [&](const std::string &utf8Text) {
        // What the editor writes after the text came in from the clipboard.
        std::string out;
        for (size_t i = 0; i < utf8Text.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(utf8Text[i]);
            if (c == '\r')
                continue;
            if (c == '\n')
                out += "\r\n";
            else if (utf8Text.compare(i, 2, "\xC3\xBC") == 0)
                out += '\xFC', ++i;
            else if (utf8Text.compare(i, 2, "\xC3\x9F") == 0)
                out += '\xDF', ++i;
            else if (utf8Text.compare(i, 2, "\xC3\xB6") == 0)
                out += '\xF6', ++i;
            else if (utf8Text.compare(i, 3, "\xE2\x80\x93") == 0)
                out += '\x96', i += 2;
            else if (utf8Text.compare(i, 3, "\xE2\x82\xAC") == 0)
                out += '\x80', i += 2;
            else if (utf8Text.compare(i, 3, "\xE2\x80\x9E") == 0)
                out += '\x84', i += 2;
            else if (utf8Text.compare(i, 3, "\xE2\x80\x9C") == 0)
                out += '\x93', i += 2;
            else
                out += char(c);
        }
        return out;
    };
    clean();
    spit(tmp, asEditorWrites(gpgSigned));
    ASSERT_NE(slurp(tmp).find("K\xF6ln"), std::string::npos);
    Result v = home->pgp(quote(tmp) + opts, work);
    EXPECT_EQ(v.code, 0) << v.out;
    EXPECT_NE(v.out.find("Good signature from user \"Bob Test <bob@example.org>\"."), std::string::npos) << v.out;
    EXPECT_EQ(v.out.find("Bad signature"), std::string::npos) << v.out;
    EXPECT_EQ(slurp(work + "/QUORBIX"), cp);
    // Tampered, it is bad over either form.
    clean();
    std::string tampered = asEditorWrites(gpgSigned);
    tampered.replace(tampered.find("Hallo"), 5, "Hello");
    spit(tmp, tampered);
    Result t = home->pgp(quote(tmp) + opts, work);
    EXPECT_EQ(t.code, 30) << t.out;
    EXPECT_NE(t.out.find("Bad signature from user \"Bob Test"), std::string::npos) << t.out;
    EXPECT_EQ(t.out.find("Good signature"), std::string::npos);

    // pgp's clear signature comes back in the editor's bytes; as the mail program gets
    // it from the clipboard (UTF-8), gpg finds it good.
    clean();
    spit(tmp, cp);
    Result cs = home->pgp("-sat " + quote(tmp) + " -u alice" + opts, work, "alice");
    ASSERT_EQ(cs.code, 0) << cs.out;
    const std::string clear = slurp(work + "/QUORBIX.asc");
    EXPECT_NE(clear.find("Gr\xFC\xDF" "e aus K\xF6ln \x96 5 \x80"), std::string::npos) << clear;
    std::string mailed;
    for (unsigned char c : clear) {
        static const char *const high[] = {"\xE2\x82\xAC", "\xE2\x80\x9E", "\xE2\x80\x93", "\xE2\x80\x9C"};
        if (c == 0x80) mailed += high[0];
        else if (c == 0x84) mailed += high[1];
        else if (c == 0x96) mailed += high[2];
        else if (c == 0x93) mailed += high[3];
        else if (c >= 0xA0) mailed += char(0xC0 | (c >> 6)), mailed += char(0x80 | (c & 0x3F));
        else mailed += char(c);
    }
    spit(work + "/mailed.asc", mailed);
    EXPECT_EQ(inWork("--verify mailed.asc 2>/dev/null").code, 0);
    EXPECT_NE(inWork("--verify QUORBIX.asc 2>/dev/null").code, 0) << "the signature is over the UTF-8 form";
    // The same signature read back by pgp from the editor is good as well.
    rename((work + "/QUORBIX.asc").c_str(), tmp.c_str());
    Result back = home->pgp(quote(tmp) + opts, work);
    EXPECT_EQ(back.code, 0) << back.out;
    EXPECT_NE(back.out.find("Good signature from user \"Alice Test"), std::string::npos) << back.out;

    // A detached signature of the editor's text verifies against its UTF-8 form.
    clean();
    spit(tmp, cp);
    Result ds = home->pgp("-sab " + quote(tmp) + " -u alice" + opts, work, "alice");
    ASSERT_EQ(ds.code, 0) << ds.out;
    spit(work + "/signed-text.txt", utf8);
    EXPECT_EQ(inWork("--verify QUORBIX.asc signed-text.txt 2>/dev/null").code, 0);

    // A PGP 2.6 user's Latin-1 text (signed and encrypted over its bytes) stays right.
    const std::string latin1 = "Gr\xFC\xDF" "e, J\xFCrgen\r\n";
    spit(work + "/old.txt", latin1);
    ASSERT_EQ(inWork("--passphrase bob -u " + bob + " --yes -o old-signed.asc --clearsign old.txt 2>&1").code, 0);
    clean();
    spit(tmp, slurp(work + "/old-signed.asc"));
    Result ov = home->pgp(quote(tmp) + opts, work);
    EXPECT_EQ(ov.code, 0) << ov.out;
    EXPECT_NE(ov.out.find("Good signature from user \"Bob Test"), std::string::npos) << ov.out;
    EXPECT_EQ(slurp(work + "/QUORBIX"), latin1);
    clean();
    ASSERT_EQ(inWork("--yes -o QUORBIX.tmp -r " + alice + " -ea old.txt 2>&1").code, 0);
    Result od = home->pgp(quote(tmp) + opts, work, "alice");
    ASSERT_EQ(od.code, 0) << od.out;
    EXPECT_EQ(slurp(work + "/QUORBIX"), latin1);

    // Text beyond Windows-1252 (Cyrillic) comes back as UTF-8, not as question marks.
    const std::string cyrillic = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xE2\x82\xAC\r\n";
    spit(work + "/cyrillic.txt", cyrillic);
    clean();
    ASSERT_EQ(inWork("--yes -o QUORBIX.tmp -r " + alice + " -ea cyrillic.txt 2>&1").code, 0);
    Result cy = home->pgp(quote(tmp) + opts, work, "alice");
    ASSERT_EQ(cy.code, 0) << cy.out;
    EXPECT_EQ(slurp(work + "/QUORBIX"), cyrillic);

    // Any other file keeps its bytes both ways, under +CharSet=Latin1 too.
    spit(work + "/cp-letter.txt", cp);
    Result fe = home->pgp("-ea cp-letter.txt 0x" + id8(alice) + opts, work);
    ASSERT_EQ(fe.code, 0) << fe.out;
    EXPECT_EQ(inWork("--passphrase alice --decrypt cp-letter.asc 2>/dev/null").out, cp);
    ASSERT_EQ(inWork("--yes -o utf8-letter.asc -r " + alice + " -ea from-gpg.txt 2>&1").code, 0);
    Result fd = home->pgp("utf8-letter.asc" + opts, work, "alice");
    ASSERT_EQ(fd.code, 0) << fd.out;
    EXPECT_EQ(slurp(work + "/utf8-letter"), utf8);
    clean();
}

TEST_F(PgpEndToEnd, BadInputAndBatchRefusals)
{
    Result nf = home->pgp("no-such-file.asc +batchmode", work);
    EXPECT_EQ(nf.code, 2);
    EXPECT_NE(nf.out.find("File 'no-such-file.asc' does not exist."), std::string::npos);
    spit(work + "/plain file.txt", "just text\n");
    Result plain = home->pgp(quote("plain file.txt") + " +batchmode", work);
    EXPECT_EQ(plain.code, 3);
    EXPECT_NE(plain.out.find("Error: 'plain file.txt' is not a ciphertext, signature, or key file."),
              std::string::npos);
    for (const char *cmd : {"-kg", "-ke alice", "-kd alice", "-krs alice"}) {
        Result r = home->pgp(std::string(cmd) + " +batchmode", work);
        EXPECT_EQ(r.code, 4) << cmd;
        EXPECT_NE(r.out.find("needs the console; it cannot run with +batchmode."), std::string::npos) << cmd;
    }
    // Decrypting a file without extension never overwrites it.
    spit(work + "/msg.txt", "x");
    ASSERT_EQ(home->pgp("-ea msg.txt alice +batchmode +force", work).code, 0);
    rename((work + "/msg.asc").c_str(), (work + "/msg").c_str());
    Result noext = home->pgp("msg +batchmode +force", work, "alice");
    EXPECT_EQ(noext.code, 0) << noext.out;
    EXPECT_EQ(slurp(work + "/msg.out"), "x");
    EXPECT_EQ(slurp(work + "/msg").rfind("-----BEGIN PGP MESSAGE", 0), 0u);
}

// Writes that fail for want of space: PGP's failure with the reason, no result left behind.
TEST_F(PgpEndToEnd, FullDiskIsAFailureAndLeavesNoFile)
{
    // Random bytes, so compression does not make the result fit after all.
    sh("head -c 40000 /dev/urandom > " + quote(work + "/big.txt"));
    const std::string data = slurp(work + "/big.txt");
    ASSERT_EQ(data.size(), 40000u);

    // Standard output on a device that is always full.
    Result filter = sh("cd " + quote(work) + " && env -u PGPPASS GNUPGHOME=" + quote(home->dir) + " PGPPATH=" +
                       quote(home->dir + "/pgp") + " " + PGP_BINARY + " -feat 0x" + id8(bob) +
                       " +batchmode <big.txt 2>&1 >/dev/full");
    EXPECT_NE(filter.code, 0) << filter.out;
    EXPECT_NE(filter.out.find("No space left on device"), std::string::npos) << filter.out;
    Result listing = sh("cd " + quote(work) + " && GNUPGHOME=" + quote(home->dir) + " " + PGP_BINARY +
                        " -kv 2>&1 >/dev/full");
    EXPECT_NE(listing.code, 0);
    EXPECT_NE(listing.out.find("No space left on device"), std::string::npos) << listing.out;

    // A small file system that fills up while the result is written (needs root to mount).
    const std::string full = work + "/full";
    mkdir(full.c_str(), 0700);
    if (sh("mount -t tmpfs -o size=64k tmpfs " + quote(full) + " 2>/dev/null").code != 0) {
        rmdir(full.c_str());
        GTEST_SKIP() << "no tmpfs can be mounted here; the /dev/full checks above ran";
    }
    spit(full + "/in.txt", data);
    Result e = home->pgp("-ea in.txt 0x" + id8(bob) + " +batchmode +force", full);
    EXPECT_NE(e.code, 0) << e.out;
    EXPECT_NE(e.out.find("No space left on device"), std::string::npos) << e.out;
    EXPECT_FALSE(exists(full + "/in.asc"));
    EXPECT_EQ(sh("ls -A " + quote(full)).out, "in.txt\n") << "no temporary file left";

    // Decryption: the ciphertext made elsewhere, the plain text does not fit beside it.
    ASSERT_EQ(home->pgp("-ea big.txt 0x" + id8(bob) + " +batchmode +force", work).code, 0);
    unlink((full + "/in.txt").c_str());
    sh("cp " + quote(work + "/big.asc") + " " + quote(full + "/in.asc"));
    Result d = home->pgp("in.asc +batchmode +force", full, "bob");
    EXPECT_NE(d.code, 0) << d.out;
    EXPECT_NE(d.out.find("No space left on device"), std::string::npos) << d.out;
    EXPECT_FALSE(exists(full + "/in"));
    EXPECT_EQ(sh("ls -A " + quote(full)).out, "in.asc\n");
    sh("umount " + quote(full));
    rmdir(full.c_str());
}

// Files of some MB go from file to gpg to file without pgp copying them; every result PGP
// reports comes through as with small ones, also when the failure comes after the data.
TEST_F(PgpEndToEnd, LargeFilesKeepEveryResult)
{
    sh("head -c 3000000 /dev/urandom > " + quote(work + "/large.bin"));
    const std::string data = slurp(work + "/large.bin");
    ASSERT_EQ(data.size(), 3000000u);

    Result e = home->pgp("-ea large.bin 0x" + id8(bob) + " +batchmode +force", work);
    ASSERT_EQ(e.code, 0) << e.out;
    const std::string armoured = slurp(work + "/large.asc");
    EXPECT_EQ(armoured.rfind("-----BEGIN PGP MESSAGE-----\nVersion: 2.6.3i\n\n", 0), 0u);
    EXPECT_EQ(armoured.find("Version:", 40), std::string::npos) << "one Version line only";
    EXPECT_EQ(sh("cd " + quote(work) + " && " + home->gpg("--passphrase bob --decrypt large.asc 2>/dev/null")).out, data);

    Result wrong = home->pgp("large.asc +batchmode +force", work, "not bob");
    EXPECT_NE(wrong.code, 0);
    EXPECT_NE(wrong.out.find("Error:  Bad pass phrase."), std::string::npos) << wrong.out;
    EXPECT_FALSE(exists(work + "/large"));
    Result d = home->pgp("large.asc +batchmode +force", work, "bob");
    EXPECT_EQ(d.code, 0) << d.out;
    EXPECT_TRUE(slurp(work + "/large") == data) << "decrypted file differs";
    unlink((work + "/large").c_str());

    // Signed and encrypted: the signature check comes after all the data.
    Result es = home->pgp("-es large.bin 0x" + id8(bob) + " -u alice +batchmode +force", work, "alice");
    ASSERT_EQ(es.code, 0) << es.out;
    Result ds = home->pgp("large.pgp +batchmode +force", work, "bob");
    EXPECT_EQ(ds.code, 0) << ds.out;
    EXPECT_NE(ds.out.find("Good signature from user \"Alice Test <alice@example.org>\"."), std::string::npos) << ds.out;
    EXPECT_TRUE(slurp(work + "/large") == data) << "decrypted file differs";
    unlink((work + "/large").c_str());

    // A byte changed near the end: the integrity check fails after the plain text was
    // written, and what was written does not stay.
    std::string bad = slurp(work + "/large.pgp");
    bad[bad.size() - 100] = char(bad[bad.size() - 100] ^ 0x55);
    spit(work + "/large.pgp", bad);
    Result t = home->pgp("large.pgp +batchmode +force", work, "bob");
    EXPECT_NE(t.code, 0) << t.out;
    EXPECT_EQ(t.out.find("Good signature"), std::string::npos) << t.out;
    EXPECT_FALSE(exists(work + "/large"));

    // The disk fills up in the middle of the data.
    const std::string full = work + "/fullbig";
    mkdir(full.c_str(), 0700);
    if (sh("mount -t tmpfs -o size=4m tmpfs " + quote(full) + " 2>/dev/null").code != 0) {
        rmdir(full.c_str());
        GTEST_SKIP() << "no tmpfs can be mounted here";
    }
    sh("cp " + quote(work + "/large.bin") + " " + quote(full + "/in.bin"));
    Result fe = home->pgp("-e in.bin 0x" + id8(bob) + " +batchmode +force", full);
    EXPECT_NE(fe.code, 0) << fe.out;
    EXPECT_NE(fe.out.find("No space left on device"), std::string::npos) << fe.out;
    EXPECT_EQ(sh("ls -A " + quote(full)).out, "in.bin\n") << "no partial output left";
    unlink((full + "/in.bin").c_str());
    ASSERT_EQ(home->pgp("-e large.bin 0x" + id8(bob) + " +batchmode +force", work).code, 0);
    sh("cp " + quote(work + "/large.pgp") + " " + quote(full + "/in.pgp"));
    Result fd = home->pgp("in.pgp +batchmode +force", full, "bob");
    EXPECT_NE(fd.code, 0) << fd.out;
    EXPECT_NE(fd.out.find("No space left on device"), std::string::npos) << fd.out;
    EXPECT_EQ(sh("ls -A " + quote(full)).out, "in.pgp\n") << "no partial output left";
    sh("umount " + quote(full));
    rmdir(full.c_str());
}

// Output to a device is written to the device, which stays what it was.
TEST_F(PgpEndToEnd, OutputToDeviceLeavesTheDevice)
{
    spit(work + "/dev.txt", "to nowhere\n");
    const std::string fifo = work + "/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // The reader drains the pipe while pgp writes.
    Result r = sh("cd " + quote(work) + " && (cat pipe > piped.out &) && env -u PGPPASS GNUPGHOME=" +
                  quote(home->dir) + " " + PGP_BINARY + " -ea dev.txt 0x" + id8(bob) +
                  " -o pipe +batchmode +force; sleep 0.2");
    EXPECT_EQ(r.code, 0) << r.out;
    struct stat st;
    ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(slurp(work + "/piped.out").rfind("-----BEGIN PGP MESSAGE-----\nVersion: 2.6.3i\n\n", 0), 0u);
    unlink(fifo.c_str());
}

// What PGP says and does where GnuPG's defaults would differ.
TEST_F(PgpEndToEnd, OwnKeysDefaultKeyConventionalAndKeyPairs)
{
    spit(work + "/two.txt", "for both of us\n");
    // A message to both own keys opens with the pass phrase of either.
    ASSERT_EQ(sh("cd " + quote(work) + " && " + home->gpg("--trust-model always --yes -r " + alice + " -r " + bob +
                                                         " -ea -o two.asc two.txt")).code, 0);
    for (const char *pw : {"alice", "bob"}) {
        unlink((work + "/two").c_str());
        Result d = home->pgp("two.asc +batchmode +force", work, pw);
        EXPECT_EQ(d.code, 0) << pw << "\n" << d.out;
        EXPECT_EQ(slurp(work + "/two"), "for both of us\n") << pw;
    }
    unlink((work + "/two").c_str());
    EXPECT_NE(home->pgp("two.asc +batchmode +force", work, "neither").code, 0);
    EXPECT_FALSE(exists(work + "/two"));

    // Through a pipe both ways (filter mode): the message is read whole, in memory.
    const std::string env = "cd " + quote(work) + " && env -u PGPPASS GNUPGHOME=" + quote(home->dir) + " ";
    spit(work + "/.pw", "bob\n");
    Result piped = sh(env + PGP_BINARY + " -feat 0x" + id8(bob) + " +batchmode <two.txt 2>/dev/null | " +
                      "env -u PGPPASS GNUPGHOME=" + quote(home->dir) + " PGPPASSFD=3 " + PGP_BINARY +
                      " -f +batchmode 3<.pw 2>/dev/null");
    EXPECT_EQ(piped.out, "for both of us\n");
    unlink((work + "/.pw").c_str());

    // Encrypted to a key this ring lacks the secret of: its primary key ID and user ID.
    Home other;
    other.makeKey("Carol Test <carol@example.org>", "carol");
    const std::string carol = other.fpr("carol@example.org");
    sh(other.gpg("--export " + carol) + " | " + home->gpg("--import"));
    ASSERT_EQ(sh("cd " + quote(work) + " && " + home->gpg("--trust-model always --yes -r " + carol +
                                                         " -ea -o carol.asc two.txt")).code, 0);
    Result nk = home->pgp("carol.asc +batchmode +force", work, "alice");
    EXPECT_EQ(nk.code, 31) << nk.out;
    EXPECT_NE(nk.out.find("This message can only be read by:\n  key ID " + id8(carol) + "  Carol Test <carol@example.org>"),
              std::string::npos) << nk.out;
    sh(home->gpg("--yes --delete-keys " + carol));

    // Conventional encryption: without a pass phrase nothing is written; with one the
    // message speaks of its pass phrase, not of a secret key.
    unlink((work + "/two.pgp").c_str());
    Result c0 = home->pgp("-c two.txt +batchmode +force", work);
    EXPECT_EQ(c0.code, 21) << c0.out;
    EXPECT_NE(c0.out.find("You need a pass phrase to encrypt the file."), std::string::npos) << c0.out;
    EXPECT_FALSE(exists(work + "/two.pgp"));
    Result c1 = home->pgp("-c two.txt +batchmode +force", work, "shared words");
    ASSERT_EQ(c1.code, 0) << c1.out;
    EXPECT_EQ(sh("cd " + quote(work) + " && " + home->gpg("--passphrase 'shared words' -d two.pgp")).out, "for both of us\n");
    Result cw = home->pgp("two.pgp +batchmode +force", work, "wrong words");
    EXPECT_NE(cw.code, 0) << "the right pass phrase gpg just cached must not open it";
    EXPECT_NE(cw.out.find("File is conventionally encrypted."), std::string::npos) << cw.out;
    EXPECT_EQ(cw.out.find("Secret key"), std::string::npos) << cw.out;
    Result cr = home->pgp("two.pgp +batchmode +force", work, "shared words");
    EXPECT_EQ(cr.code, 0) << cr.out;

    // gpg.conf's default-key signs when PGP's settings name no key.
    spit(home->dir + "/gpg.conf", "default-key " + bob + "\n");
    Result sd = home->pgp("-sa two.txt +batchmode +force", work, "bob");
    EXPECT_EQ(sd.code, 0) << sd.out;
    EXPECT_NE(sd.out.find("Key for user ID: Bob Test <bob@example.org>"), std::string::npos) << sd.out;
    Result v = sh("cd " + quote(work) + " && " + home->gpg("--status-fd 1 --verify two.asc 2>/dev/null"));
    EXPECT_NE(v.out.find("GOODSIG " + bob.substr(24)), std::string::npos) << v.out;
    EXPECT_EQ(slurp(work + "/two.asc").find("-----BEGIN PGP MESSAGE-----\nVersion: 2.6.3i\n\n"), 0u);
    unlink((home->dir + "/gpg.conf").c_str());

    // A key pair from an exported secret key file: what was added is reported.
    sh(home->gpg("--passphrase alice --export-secret-keys -a " + alice) + " > " + quote(work + "/pair.asc"));
    Home fresh;
    Result ka = fresh.pgp("-ka " + quote(work + "/pair.asc") + " +batchmode", work);
    EXPECT_EQ(ka.code, 0) << ka.out;
    EXPECT_NE(ka.out.find("   1 new secret key(s)"), std::string::npos) << ka.out;
    EXPECT_EQ(ka.out.find("No new keys"), std::string::npos) << ka.out;
    EXPECT_NE(sh(fresh.gpg("--with-colons -K")).out.find("sec:"), std::string::npos);

    // Batch mode keeps a key with a secret part and says what to do instead.
    Result kr = home->pgp("-kr 0x" + id8(alice) + " +batchmode +force", work);
    EXPECT_EQ(kr.code, 16);
    EXPECT_NE(kr.out.find("without +batchmode"), std::string::npos) << kr.out;
}

} // namespace
