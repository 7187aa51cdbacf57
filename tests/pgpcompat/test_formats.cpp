#include "listing.h"
#include "options.h"
#include "console.h"
#include "commands.h"
#include "backend.h"
#include "gnupg.h"
#include "worktext.h"
#include "Charset.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pgpc;

static std::time_t day(int y, int m, int d)
{
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = m - 1;
    tm.tm_mday = d;
    tm.tm_hour = 12;
    return timegm(&tm);
}

static KeyInfo sampleKey()
{
    KeyInfo k;
    k.bits = 3072;
    k.id16 = "0123456789ABCDEF";
    k.fpr = "00112233445566778899AABBCCDDEEFF01234567";
    k.created = day(2024, 3, 5);
    UidInfo a;
    a.uid = "Jürgen Müller <jm@example.org>";
    SigInfo self;
    self.signerId16 = "0123456789ABCDEF";
    self.signerUid = a.uid;
    self.created = day(2024, 3, 5);
    self.check = SigInfo::Good;
    SigInfo stranger;
    stranger.signerId16 = "FFFFFFFF11223344";
    stranger.created = day(2024, 4, 1);
    stranger.check = SigInfo::NoKey;
    a.sigs = {self, stranger};
    UidInfo b;
    b.uid = "JM at work <jm@work.example>";
    k.uids = {a, b};
    return k;
}

// Columns the front end cuts out: bits 6-9, "/" 10, key ID 11-18, date 20-29, user ID 31+,
// signer ID 11-18 and signer user ID 32+.
TEST(Listing, ColumnsOfKeyUidAndSignatureLines)
{
    ListOptions lo;
    lo.style = ListStyle::Sigs;
    auto lines = keyLines(sampleKey(), lo);
    ASSERT_EQ(lines.size(), 4u);
    const std::string &key = lines[0];
    EXPECT_EQ(key.substr(0, 5), "pub  ");
    EXPECT_EQ(key.substr(5, 4), "3072");
    EXPECT_EQ(key[9], '/');
    EXPECT_EQ(key.substr(10, 8), "89ABCDEF");
    EXPECT_EQ(key.substr(19, 10), "2024/03/05");
    EXPECT_EQ(key.substr(30), "Jürgen Müller <jm@example.org>");
    EXPECT_EQ(lines[1], "sig       89ABCDEF             Jürgen Müller <jm@example.org>");
    EXPECT_EQ(lines[2].substr(10, 8), "11223344");
    EXPECT_EQ(lines[2].substr(31), "(Unknown signator, can't be checked)");
    EXPECT_EQ(lines[3], std::string(30, ' ') + "JM at work <jm@work.example>");

    // Short keys are right-aligned, a disabled key gets its marker in column 4.
    KeyInfo small = sampleKey();
    small.bits = 255;
    small.disabled = true;
    lo.style = ListStyle::Short;
    auto s = keyLines(small, lo);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].substr(0, 10), "pub-  255/");

    // -kc: verdict in column 4, date in 20-29, signer from 32.
    lo.style = ListStyle::CheckSigs;
    auto c = keyLines(sampleKey(), lo);
    EXPECT_EQ(c[1].substr(0, 4), "sig!");
    EXPECT_EQ(c[1].substr(10, 8), "89ABCDEF");
    EXPECT_EQ(c[1].substr(19, 10), "2024/03/05");
    EXPECT_EQ(c[1].substr(31), "Jürgen Müller <jm@example.org>");
    EXPECT_EQ(c[2].substr(0, 4), "sig?");
    EXPECT_EQ(c[2].substr(19, 10), "2024/04/01");
}

TEST(Listing, RevokedKeyFingerprintAndSummary)
{
    KeyInfo k = sampleKey();
    k.revoked = true;
    ListOptions lo;
    lo.fingerprints = true;
    auto lines = keyLines(k, lo);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].substr(30), "*** KEY REVOKED ***");
    EXPECT_EQ(lines[1], std::string(30, ' ') + "Jürgen Müller <jm@example.org>");
    EXPECT_EQ(lines[2], std::string(12, ' ') +
                            "Key fingerprint = 0011 2233 4455 6677 8899  AABB CCDD EEFF 0123 4567");
    EXPECT_EQ(lines[3].substr(30), "JM at work <jm@work.example>");

    std::string all = formatListing({sampleKey()}, ListOptions{}, "/h/pubring.kbx");
    EXPECT_EQ(all.rfind("\nKey ring: '/h/pubring.kbx'\nType Bits/KeyID    Date       User ID\npub  3072/", 0), 0u);
    EXPECT_NE(all.find("\n1 matching key found.\n"), std::string::npos);
    EXPECT_EQ(summaryLine(Lang::English, 0), "0 matching keys found.");
    EXPECT_EQ(summaryLine(Lang::English, 12), "12 matching keys found.");
    EXPECT_EQ(groupFingerprint("00112233445566778899AABBCCDDEEFF"),
              "00 11 22 33 44 55 66 77  88 99 AA BB CC DD EE FF");
}

TEST(Listing, GermanListingInLatin1)
{
    ListOptions lo;
    lo.lang = Lang::German;
    lo.style = ListStyle::Sigs;
    KeyInfo k = sampleKey();
    std::string out = utf8ToLatin1(formatListing({k, k}, lo, "r"));
    EXPECT_NE(out.find("\nSchl\xFCsselbund 'r':\n"), std::string::npos);
    EXPECT_NE(out.find("\nTyp  Bits/ID       Datum      Benutzer\n"), std::string::npos);
    EXPECT_NE(out.find("\n\xF6" "ff  3072/89ABCDEF 2024/03/05 J\xFCrgen M\xFCller"), std::string::npos);
    EXPECT_NE(out.find("\nUnt       89ABCDEF"), std::string::npos);
    EXPECT_NE(out.find("Es wurden 2 passende Schl\xFCssel gefunden."), std::string::npos);
    EXPECT_EQ(summaryLine(Lang::German, 1), "Es wurde ein passender Schlüssel gefunden.");
    k.revoked = true;
    EXPECT_EQ(utf8ToLatin1(keyLines(k, lo)[0]).substr(30), "*** ZUR\xDC" "CKGEZOGEN ***");
}

TEST(Text, Latin1Conversion)
{
    EXPECT_EQ(utf8ToLatin1("Gr\xC3\xBC\xC3\x9F" "e"), "Gr\xFC\xDF" "e");
    // Windows Latin-1: the euro sign and dashes have bytes; what it lacks,
    // and broken sequences, become '?'
    EXPECT_EQ(utf8ToLatin1("\xE2\x82\xAC 5 \xE2\x80\x93 \xF0\x9F\x98\x80 \xD0\x9F \xC3"), "\x80 5 \x96 ? ? ?");
    EXPECT_EQ(latin1ToUtf8("\xFC"), "\xC3\xBC");
    EXPECT_EQ(latin1ToUtf8("\x80\x84"), "\xE2\x82\xAC\xE2\x80\x9E");
    EXPECT_TRUE(isValidUtf8("M\xC3\xBCller"));
    EXPECT_FALSE(isValidUtf8("M\xFCller"));
    EXPECT_FALSE(isValidUtf8("\xC0\xAF")); // overlong
    EXPECT_TRUE(containsNoCase("J\xC3\xBCrgen M\xC3\xBCller", "\xC3\x9C" "LLER"));
    EXPECT_FALSE(containsNoCase("alice", "bob"));
    EXPECT_EQ(fmt("%4d new key(s) in '%s'", {"3", "x y"}), "   3 new key(s) in 'x y'");
}

TEST(Text, Windows1252AndUtf8)
{
    // "Grüße aus Köln – 5 €" and the typographic quotes of German text.
    const std::string cp = "Gr\xFC\xDF" "e aus K\xF6ln \x96 5 \x80 \x84so\x93";
    const std::string utf8 = "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln \xE2\x80\x93 5 \xE2\x82\xAC "
                             "\xE2\x80\x9Eso\xE2\x80\x9C";
    EXPECT_EQ(charset::cp1252ToUtf8(cp), utf8);
    std::string back;
    ASSERT_TRUE(charset::utf8ToCp1252(utf8, back));
    EXPECT_EQ(back, cp);
    // Every byte has a character and comes back: the five bytes the code page leaves
    // open stand for the C1 controls.
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    const std::string allUtf8 = charset::cp1252ToUtf8(all);
    EXPECT_TRUE(charset::isValidUtf8(allUtf8));
    ASSERT_TRUE(charset::utf8ToCp1252(allUtf8, back));
    EXPECT_EQ(back, all);
    EXPECT_EQ(charset::cp1252ToUnicode(0x81), 0x81u);
    EXPECT_EQ(charset::cp1252ToUnicode(0x9F), 0x178u);
    // U+0080 is a C1 control Windows-1252 has no byte for (0x80 is the euro sign).
    unsigned char b = 0;
    EXPECT_FALSE(charset::unicodeToCp1252(0x80, b));
    EXPECT_TRUE(charset::unicodeToCp1252(0x2122, b));
    EXPECT_EQ(b, 0x99);
    // Cyrillic does not fit, and no UTF-8 at all is refused as well: nothing half done.
    back = "x";
    EXPECT_FALSE(charset::utf8ToCp1252("ok \xD0\x9F\xD1\x80\xD0\xB8", back));
    EXPECT_EQ(back, "");
    EXPECT_FALSE(charset::utf8ToCp1252("Gr\xFC\xDF" "e", back));
}

TEST(Text, WorkingTextIsQuorbixTmpUnderLatin1Only)
{
    auto applies = [](std::vector<std::string> args) {
        const Invocation inv = parseCommandLine(args);
        Settings s;
        for (const auto &[name, value] : inv.plusOptions)
            applySetting(s, name, value, true);
        return worktext::applies(s, inv);
    };
    EXPECT_TRUE(applies({"-ea", "/run/q/QUORBIX.tmp", "0x1234ABCD", "+batchmode", "+CharSet=Latin1", "+force"}));
    EXPECT_TRUE(applies({"QUORBIX.tmp", "+CharSet=Latin1"}));
    EXPECT_FALSE(applies({"-ea", "/run/q/QUORBIX.tmp", "0x1234ABCD", "+batchmode"}));
    EXPECT_FALSE(applies({"-ea", "/run/q/letter.txt", "+CharSet=Latin1"}));
    EXPECT_FALSE(applies({"-ea", "/run/q/QUORBIX.tmp.txt", "+CharSet=Latin1"}));
    EXPECT_FALSE(applies({"-ea", "/run/q/xQUORBIX.tmp", "+CharSet=Latin1"}));
    EXPECT_FALSE(applies({"-feat", "QUORBIX.tmp", "+CharSet=Latin1"}));
}

TEST(KeySelection, SubstringKeyIdFingerprintAndAmbiguity)
{
    KeyInfo a = sampleKey();
    KeyInfo b = sampleKey();
    b.id16 = "AAAAAAAA89ABCDEF"; // same eight low digits as a
    b.fpr = "FFFF2233445566778899AABBCCDDEEFFAAAAAAAA";
    b.uids = {UidInfo{"Other Person <o@x>", false, {}}};
    b.subIds16 = {"1111111122223333"};
    std::vector<KeyInfo> keys{a, b};

    EXPECT_EQ(parseKeySelector("0x89abcdef").kind, KeySelector::KeyId);
    EXPECT_EQ(parseKeySelector("0x89abcdef").text, "89ABCDEF");
    EXPECT_EQ(parseKeySelector("\"Other Person\"").text, "Other Person");
    EXPECT_EQ(parseKeySelector("0xzz").kind, KeySelector::Substring);
    EXPECT_EQ(parseKeySelector("0x0011 2233 4455 6677 8899 AABB CCDD EEFF 0123 4567").kind,
              KeySelector::Fingerprint);

    const KeyInfo *out = nullptr;
    EXPECT_EQ(resolveKey(keys, parseKeySelector("0x89ABCDEF"), out), Resolution::Ambiguous);
    EXPECT_EQ(resolveKey(keys, parseKeySelector("0xAAAAAAAA89ABCDEF"), out), Resolution::One);
    EXPECT_EQ(out->fpr, b.fpr);
    EXPECT_EQ(resolveKey(keys, parseKeySelector("0x22223333"), out), Resolution::One); // subkey ID
    EXPECT_EQ(out->fpr, b.fpr);
    EXPECT_EQ(resolveKey(keys, parseKeySelector("0x00112233445566778899AABBCCDDEEFF01234567"), out),
              Resolution::One);
    EXPECT_EQ(out->fpr, a.fpr);
    EXPECT_EQ(resolveKey(keys, parseKeySelector("jm@WORK"), out), Resolution::One);
    EXPECT_EQ(out->fpr, a.fpr);
    EXPECT_EQ(resolveKey(keys, parseKeySelector("nobody"), out), Resolution::None);
    // A user ID substring fitting several keys takes the first, as PGP did.
    EXPECT_EQ(resolveKey(keys, parseKeySelector("<"), out), Resolution::One);
    EXPECT_EQ(out->fpr, a.fpr);
    EXPECT_EQ(splitWords("alice \"Bob Demo\",carol"), (std::vector<std::string>{"alice", "Bob Demo", "carol"}));
}

TEST(CommandLine, CommandsLettersOptionsAndOperands)
{
    Invocation e = parseCommandLine({"-eatb", "", "my file.txt", "0x1234ABCD", "bob", "+batchmode",
                                     "+CharSet=Latin1", "+force", "-u", "alice", "-o", "out.asc"});
    EXPECT_TRUE(e.error.empty());
    EXPECT_EQ(e.command, Command::Encrypt);
    EXPECT_TRUE(e.armor && e.textMode && e.detached);
    EXPECT_EQ(e.operands, (std::vector<std::string>{"my file.txt", "0x1234ABCD", "bob"}));
    EXPECT_EQ(e.plusOptions.at("batchmode"), "on");
    EXPECT_EQ(e.plusOptions.at("charset"), "Latin1");
    EXPECT_EQ(*e.signer, "alice");
    EXPECT_EQ(*e.outFile, "out.asc");

    Invocation es = parseCommandLine({"-es", "f", "bob", "-zsecret phrase"});
    EXPECT_EQ(es.command, Command::Encrypt);
    EXPECT_TRUE(es.signToo);
    EXPECT_EQ(*es.passphrase, "secret phrase");

    EXPECT_EQ(parseCommandLine({"-sat", "n"}).command, Command::Sign);
    EXPECT_EQ(parseCommandLine({"f.asc"}).command, Command::Decrypt);
    Invocation kv = parseCommandLine({"-kvvc", "0xAB"});
    EXPECT_EQ(kv.command, Command::KeyList);
    EXPECT_TRUE(kv.sigsInListing && kv.fingerprints);
    EXPECT_FALSE(parseCommandLine({"-kv"}).sigsInListing);
    EXPECT_EQ(parseCommandLine({"-kc"}).command, Command::KeyCheck);
    Invocation kx = parseCommandLine({"-kxa", "0xAB", "file"});
    EXPECT_EQ(kx.command, Command::KeyExtract);
    EXPECT_TRUE(kx.armor);
    EXPECT_EQ(parseCommandLine({"-krs", "x"}).command, Command::KeyRemoveSig);
    EXPECT_EQ(parseCommandLine({"-kd", "x"}).command, Command::KeyDisable);
    EXPECT_FALSE(parseCommandLine({"-kq"}).error.empty());
    EXPECT_FALSE(parseCommandLine({"-ec", "f"}).error.empty());
    EXPECT_FALSE(parseCommandLine({"-e", "f", "-o"}).error.empty());
}

TEST(Config, FileSyntaxAndCommandLineOnlyOptions)
{
    auto cfg = parseConfigText("# comment\r\nMyName = \"Alice # not a comment\"\r\n"
                               "ARMOR=on   # trailing\nTextMode\nclearsig = off\n"
                               "Language = de\nCharSet = latin1\nBatchMode = on\nVerbose = 2\n");
    Settings s;
    for (const auto &[n, v] : cfg)
        EXPECT_TRUE(applySetting(s, n, v, false)) << n;
    EXPECT_EQ(s.myName, "Alice # not a comment");
    EXPECT_TRUE(s.armor);
    EXPECT_TRUE(s.textMode);
    EXPECT_FALSE(s.clearSig);
    EXPECT_EQ(s.lang, Lang::German);
    EXPECT_TRUE(s.latin1);
    EXPECT_EQ(s.verbose, 2);
    EXPECT_FALSE(s.batchMode); // only on the command line
    EXPECT_TRUE(applySetting(s, "BatchMode", "on", true));
    EXPECT_TRUE(s.batchMode);
    EXPECT_FALSE(applySetting(s, "armor", "perhaps", true));
    EXPECT_FALSE(applySetting(s, "nosuchoption", "1", true));
    EXPECT_TRUE(Settings{}.clearSig);
}

TEST(ResultFiles, MsDosNamingRule)
{
    EXPECT_EQ(replaceExtension("letter.txt", ".asc"), "letter.asc");
    EXPECT_EQ(replaceExtension("/tmp/QUORBIX.tmp", ".asc"), "/tmp/QUORBIX.asc");
    EXPECT_EQ(replaceExtension("a.b.c", ".pgp"), "a.b.pgp");
    EXPECT_EQ(replaceExtension("letter", ".pgp"), "letter.pgp");
    EXPECT_EQ(replaceExtension("my.dir/letter", ".sig"), "my.dir/letter.sig");
    EXPECT_EQ(replaceExtension(".profile", ".asc"), ".profile.asc");
    EXPECT_EQ(stripExtension("/tmp/QUORBIX.tmp"), "/tmp/QUORBIX");
    EXPECT_EQ(stripExtension("letter.txt.asc"), "letter.txt");
    EXPECT_EQ(stripExtension("letter"), "");
    EXPECT_EQ(stripExtension("dir.d/letter"), "");
    EXPECT_EQ(keyFileName("keyfile", true), "keyfile.asc");
    EXPECT_EQ(keyFileName("keyfile", false), "keyfile.pgp");
    EXPECT_EQ(keyFileName("key.SIG", true), "key.SIG");
    EXPECT_EQ(keyFileName("key.txt", true), "key.txt.asc");
}

TEST(ColonListing, KeysUserIdsAndCertifications)
{
    const std::string text =
        "tru::1:1700000000:0:3:1:5\n"
        "pub:u:255:22:E33D5766F9A8DD80:1700000000:::u:::scESC::::::23::0:\n"
        "fpr:::::::::FD5DDA29977AB4D1C71324ECE33D5766F9A8DD80:\n"
        "uid:u::::1700000000::HASH::Alice\\x3a Demo <a@x>::::::::::0:\n"
        "sig:::22:E33D5766F9A8DD80:1700000000::::Alice\\x3a Demo <a@x>:13x:::::8:\n"
        "sig:::22:BD1944A9999EEA22:1700000100::::[User ID not found]:10x:::::8:\n"
        "rev:::22:BD1944A9999EEA22:1700000200::::Bob:30x:::::8:\n"
        "sub:u:255:18:0E4B919F1B9D5377:1700000000::::::e::::::23:\n"
        "fpr:::::::::0123456789ABCDEF0123456789ABCDEF01234567:\n"
        "sig:::22:E33D5766F9A8DD80:1700000000::::Alice:18x:::::8:\n"
        "pub:r:3072:1:BD1944A9999EEA22:1600000000:::-:::scD::::::23::0:\r\n"
        "fpr:::::::::007822B3FE5BD272D4E33DB5BD1944A9999EEA22:\r\n"
        "uid:r::::1600000000::H2::Bob:\r\n";
    auto keys = parseColonListing(text, false);
    ASSERT_EQ(keys.size(), 2u);
    const KeyInfo &a = keys[0];
    EXPECT_EQ(a.id8(), "F9A8DD80");
    EXPECT_EQ(a.fpr, "FD5DDA29977AB4D1C71324ECE33D5766F9A8DD80");
    EXPECT_EQ(a.bits, 255u);
    EXPECT_EQ(a.created, 1700000000);
    EXPECT_TRUE(a.valid && a.canEncrypt && a.canSign && !a.disabled && !a.revoked);
    EXPECT_EQ(a.subIds16, std::vector<std::string>{"0E4B919F1B9D5377"});
    EXPECT_EQ(a.subFprs, std::vector<std::string>{"0123456789ABCDEF0123456789ABCDEF01234567"});
    ASSERT_EQ(a.uids.size(), 1u);
    EXPECT_EQ(a.uids[0].uid, "Alice: Demo <a@x>");
    // the revocation and the subkey binding are no certifications
    ASSERT_EQ(a.uids[0].sigs.size(), 2u);
    EXPECT_EQ(a.uids[0].sigs[1].signerId16, "BD1944A9999EEA22");
    EXPECT_EQ(a.uids[0].sigs[1].signerUid, ""); // shown as the unknown signator
    const KeyInfo &b = keys[1];
    EXPECT_TRUE(b.revoked && b.disabled && !b.valid && !b.canEncrypt);
    EXPECT_EQ(b.fpr, "007822B3FE5BD272D4E33DB5BD1944A9999EEA22");
    EXPECT_TRUE(b.uids[0].revoked);
    ListOptions lo;
    EXPECT_EQ(keyLines(b, lo)[0], "pub- 3072/999EEA22 2020/09/13 *** KEY REVOKED ***");
}

// gpg's listing arrives in pieces cut anywhere, the last line perhaps without its end.
TEST(ColonListing, ReadInPiecesAsWhole)
{
    const std::string text =
        "pub:u:255:22:E33D5766F9A8DD80:1700000000:::u:::scESC::::::23::0:\n"
        "fpr:::::::::FD5DDA29977AB4D1C71324ECE33D5766F9A8DD80:\n"
        "uid:u::::1700000000::HASH::Alice\\x3a Demo <a@x>::::::::::0:\n"
        "sig:::22:E33D5766F9A8DD80:1700000000::::Alice\\x3a Demo <a@x>:13x:::::8:\n"
        "sig:::22:BD1944A9999EEA22:1700000100::::::10x:::::8:\n"
        "sub:u:255:18:0E4B919F1B9D5377:1700000000::::::e::::::23:\n"
        "sig:::22:E33D5766F9A8DD80:1700000000::::Alice:18x:::::8:\r\n"
        "pub:-:3072:1:BD1944A9999EEA22:1600000000:::-:::scD::::::23::0:\r\n"
        "uid:-::::1600000000::H2::Bob:\r\n"
        "uid:-::::1600000000::H3::Bob again:\n"
        "sig:::1:E33D5766F9A8DD80:1600000100::::::10x:::::8:";
    ListOptions lo;
    lo.style = ListStyle::Sigs;
    lo.fingerprints = true;
    auto whole = parseColonListing(text, false);
    ASSERT_EQ(whole.size(), 2u);
    ASSERT_EQ(whole[1].uids.size(), 2u);
    EXPECT_EQ(whole[1].uids[1].sigs.size(), 1u) << "the last line, without its end";
    nameSignersFromRing(whole);
    const std::string expected = formatListing(whole, lo, "ring");
    for (size_t step : {size_t(1), size_t(2), size_t(7), size_t(64), text.size()}) {
        ColonListingReader reader(false);
        for (size_t pos = 0; pos < text.size(); pos += step)
            reader.feed(std::string_view(text).substr(pos, step));
        auto keys = reader.take();
        nameSignersFromRing(keys);
        EXPECT_EQ(formatListing(keys, lo, "ring"), expected) << "pieces of " << step;
    }
    ColonListingReader reader(false);
    reader.feed(text);
    EXPECT_EQ(reader.take().size(), 2u);
    EXPECT_TRUE(reader.take().empty()) << "taken once";
}

static std::string run(const std::string &cmd)
{
    std::string out;
    if (FILE *p = popen(cmd.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

TEST(ColonListing, SignersNamedFromTheRingItself)
{
    // gpg --fast-list-mode leaves the signers' user IDs empty.
    const std::string text =
        "pub:-:255:22:AAAAAAAAAAAAAAAA:1600000000:::-:::scSC::::::23::0:\n"
        "fpr:::::::::1111111111111111111111111111AAAAAAAAAAAA:\n"
        "uid:-::::1600000000::H1::Alice <a@x>::::::::::0:\n"
        "sig:::22:AAAAAAAAAAAAAAAA:1600000000::::::13x::::::8:\n"
        "sig:::22:BBBBBBBBBBBBBBBB:1600000001::::::10x::::::8:\n"
        "sig:::22:CCCCCCCCCCCCCCCC:1600000002::::::10x::::::8:\n"
        "sig:::22:DDDDDDDDDDDDDDDD:1600000003::::::10x::::::8:\n"
        "pub:-:255:22:BBBBBBBBBBBBBBBB:1600000000:::-:::scSC::::::23::0:\n"
        "uid:-::::1600000000::H2::Bob <b@x>::::::::::0:\n"
        "uid:-::::1600000000::H3::Bob second <b2@x>::::::::::0:\n"
        "sub:-:255:18:CCCCCCCCCCCCCCCC:1600000000::::::e::::::23:\n";
    auto keys = parseColonListing(text, false);
    ASSERT_EQ(keys.size(), 2u);
    nameSignersFromRing(keys);
    const auto &sigs = keys[0].uids[0].sigs;
    ASSERT_EQ(sigs.size(), 4u);
    EXPECT_EQ(sigs[0].signerUid, "Alice <a@x>");
    EXPECT_EQ(sigs[1].signerUid, "Bob <b@x>") << "the signer's first user ID";
    EXPECT_EQ(sigs[2].signerUid, "Bob <b@x>") << "a subkey names its primary key's owner";
    EXPECT_EQ(sigs[3].signerUid, "") << "outside the ring: the unknown signator";
    ListOptions lo;
    lo.style = ListStyle::Sigs;
    const std::string listing = formatListing(keys, lo, "ring");
    EXPECT_NE(listing.find("sig       DDDDDDDD             (Unknown signator, can't be checked)"), std::string::npos)
        << listing;
}

TEST(ColonListing, CheckSigsVerdicts)
{
    const std::string text = "pub:-:255:22:AAAAAAAAAAAAAAAA:1600000000:::-:::scSC::::::23::0:\n"
                             "uid:-::::1600000000::H1::Alice <a@x>::::::::::0:\n"
                             "sig:!::22:AAAAAAAAAAAAAAAA:1600000000::::Alice <a@x>:13x::::::8:\n"
                             "sig:-::22:BBBBBBBBBBBBBBBB:1600000000::::Bob <b@x>:10x::::::8:\n"
                             "sig:?::22:CCCCCCCCCCCCCCCC:1600000000:::::10x::::::8:\n"
                             "sig:%::22:DDDDDDDDDDDDDDDD:1600000000::::Dan <d@x>:10x::::::8:\n";
    auto keys = parseColonListing(text, false);
    ASSERT_EQ(keys.size(), 1u);
    const auto &sigs = keys[0].uids[0].sigs;
    ASSERT_EQ(sigs.size(), 4u);
    EXPECT_EQ(sigs[0].check, SigInfo::Good);
    EXPECT_EQ(sigs[1].check, SigInfo::Bad);
    EXPECT_EQ(sigs[2].check, SigInfo::NoKey);
    EXPECT_EQ(sigs[3].check, SigInfo::Unchecked);
    ListOptions lo;
    lo.style = ListStyle::CheckSigs;
    auto l = keyLines(keys[0], lo);
    ASSERT_EQ(l.size(), 5u);
    EXPECT_EQ(l[1].substr(0, 4), "sig!");
    EXPECT_EQ(l[2].substr(0, 4), "sig*");
    EXPECT_EQ(l[3].substr(0, 4), "sig?");
    EXPECT_EQ(l[4].substr(0, 4), "sig ");
}

TEST(MessageHead, RecipientsOfMessagesGpgMade)
{
    char tmpl[] = "/tmp/pgpc-mh-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string home = tmpl;
    const std::string gpg = "GNUPGHOME=" + home + " gpg --batch --quiet --pinentry-mode loopback --passphrase '' ";
    for (const char *who : {"one@example.org", "two@example.org"})
        run(gpg + "--quick-gen-key " + who + " ed25519 sign,cert never 2>&1 && " + gpg +
            "--quick-add-key $(" + gpg + "--with-colons --list-keys " + who +
            " | awk -F: '/^fpr/{print $10; exit}') cv25519 encr never 2>&1");
    std::string subs = run(gpg + "--with-colons --list-keys | awk -F: '/^sub/{print $5}'");
    ASSERT_EQ(std::count(subs.begin(), subs.end(), '\n'), 2) << subs;
    std::string s1 = subs.substr(0, 16), s2 = subs.substr(17, 16);

    for (const char *armor : {"", "--armor "}) {
        std::string msg = run("echo hello | " + gpg + armor + "--trust-model always -r one@example.org -r two@example.org -e");
        ASSERT_FALSE(msg.empty());
        MessageHead h = parseMessageHead(msg);
        std::sort(h.recipients16.begin(), h.recipients16.end());
        std::vector<std::string> want = {s1, s2};
        std::sort(want.begin(), want.end());
        EXPECT_EQ(h.recipients16, want) << armor;
        EXPECT_FALSE(h.conventional);
    }
    std::string sym = run("echo hello | " + gpg + "--armor --passphrase pw -c");
    MessageHead hs = parseMessageHead(sym);
    EXPECT_TRUE(hs.conventional);
    EXPECT_TRUE(hs.recipients16.empty());
    // Not a message, or cut short: nothing, and no read past the end.
    EXPECT_TRUE(parseMessageHead("just text\n").recipients16.empty());
    EXPECT_TRUE(parseMessageHead(std::string("\x85\x01\x0c\x03", 4)).recipients16.empty());
    EXPECT_TRUE(parseMessageHead("-----BEGIN PGP MESSAGE-----\n\nhQ").recipients16.empty());
    run("gpgconf --homedir " + home + " --kill gpg-agent; rm -rf " + home);
}

// The agent's answer decides which pass phrases are cleared; an answer that cannot be read
// clears them all rather than leave one cached.
TEST(AgentAnswers, HeldGripsAndUnreadableAnswers)
{
    const std::string a(40, 'A'), b(40, 'B'), c = "207047579F2D56823252603E26AA5637FEF1C219";
    std::vector<std::string> held;
    ASSERT_TRUE(readHeldGrips("S KEYINFO " + a + " D - - 1 P - - -\n"
                              "S KEYINFO " + b + " D - - - C - - -\r\n"
                              "S KEYINFO " + c + " D - - 1 C - - -\nOK\n",
                              held));
    EXPECT_EQ(held, (std::vector<std::string>{a, c}));
    ASSERT_TRUE(readHeldGrips("OK\n", held)) << "an agent without keys";
    EXPECT_TRUE(held.empty());

    EXPECT_FALSE(readHeldGrips("", held)) << "no agent answered";
    EXPECT_FALSE(readHeldGrips("S KEYINFO " + a + " D - - 1 P - - -\n", held)) << "no OK: cut short";
    EXPECT_FALSE(readHeldGrips("ERR 67109139 Forbidden <GPG Agent>\n", held));
    EXPECT_FALSE(readHeldGrips("S KEYINFO " + a + " D -\nOK\n", held)) << "line cut short";
    EXPECT_FALSE(readHeldGrips("S KEYINFO " + a + " D - - ? P - - -\nOK\n", held));
    EXPECT_FALSE(readHeldGrips("S KEYINFO not-a-grip D - - 1 P - - -\nOK\n", held));
    EXPECT_FALSE(readHeldGrips("OK\nS KEYINFO " + a + " D - - 1 P - - -\n", held)) << "after the end";
    EXPECT_FALSE(readHeldGrips("gpg-connect-agent: no gpg-agent running in this session\n", held));
}

TEST(ArmorVersion, InsertedAfterEachHeaderButTheClearSignedText)
{
    const std::string v = std::string(kArmorVersion) + "\n";
    EXPECT_EQ(withVersionLine("-----BEGIN PGP PUBLIC KEY BLOCK-----\n\nmQ\n-----END PGP PUBLIC KEY BLOCK-----\n"),
              "-----BEGIN PGP PUBLIC KEY BLOCK-----\n" + v + "\nmQ\n-----END PGP PUBLIC KEY BLOCK-----\n");

    // The same through gpgme data, handed over in pieces that split the header lines.
    const std::string clear = "-----BEGIN PGP SIGNED MESSAGE-----\nHash: SHA256\n\n- -dash\nline\n"
                              "-----BEGIN PGP SIGNATURE-----\n\niHUE\n=abcd\n-----END PGP SIGNATURE-----\n";
    char name[] = "/tmp/pgpc-arm-XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    {
        FdData d = fdData(fd, Direction::Out, true);
        for (size_t i = 0; i < clear.size(); i += 7)
            ASSERT_GT(d.data.write(clear.data() + i, std::min<size_t>(7, clear.size() - i)), 0);
    }
    std::string got;
    ASSERT_TRUE(readFile(name, got));
    EXPECT_EQ(got, "-----BEGIN PGP SIGNED MESSAGE-----\nHash: SHA256\n\n- -dash\nline\n"
                   "-----BEGIN PGP SIGNATURE-----\n" + v + "\niHUE\n=abcd\n-----END PGP SIGNATURE-----\n");
    close(fd);
    unlink(name);
}

TEST(ArmorVersion, WriteFailureReachesGpgme)
{
    int fd = open("/dev/full", O_WRONLY);
    ASSERT_GE(fd, 0);
    FdData d = fdData(fd, Direction::Out, true);
    errno = 0;
    EXPECT_LT(d.data.write("-----BEGIN PGP MESSAGE-----\n\nabc\n", 33), 0);
    EXPECT_EQ(errno, ENOSPC);
    GpgResult r;
    r.fail(GpgME::Error::fromSystemError(ENOSPC));
    EXPECT_TRUE(r.diskFull());
    EXPECT_EQ(r.text(), std::strerror(ENOSPC));
    close(fd);
}

TEST(ResultFiles, TemporaryFileInPrivateDirectory)
{
    char tmpl[] = "/tmp/pgpc-out-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    Settings s;
    s.batchMode = true;
    s.force = true;
    Console con(s);
    auto entries = [&] {
        int n = 0;
        if (FILE *p = popen(("ls -A '" + dir + "'").c_str(), "r")) {
            char buf[256];
            while (fgets(buf, sizeof buf, p))
                ++n;
            pclose(p);
        }
        return n;
    };
    {
        OutputFile out;
        ASSERT_TRUE(out.open(con, dir + "/plain", true));
        const std::string t = out.tempPath();
        struct stat st;
        ASSERT_EQ(stat(t.substr(0, t.rfind('/')).c_str(), &st), 0);
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0700u) << "only we may enter where gpg writes by name";
        ASSERT_EQ(write(out.fd(), "abc", 3), 3);
        ASSERT_TRUE(out.commit(con));
        ASSERT_EQ(stat((dir + "/plain").c_str(), &st), 0);
        EXPECT_EQ(st.st_size, 3);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    EXPECT_EQ(entries(), 1) << "nothing but the result is left";
    {
        OutputFile out;
        ASSERT_TRUE(out.open(con, dir + "/dropped", true));
    }
    EXPECT_EQ(entries(), 1) << "a file never committed leaves nothing behind";
    std::remove((dir + "/plain").c_str());
    rmdir(dir.c_str());
}
