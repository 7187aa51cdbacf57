// The listing parsers: key-line test and row fields of ID.txt, the tree's
// line classification, KeyIdText.
#include "keys/Listing.h"

#include <gtest/gtest.h>

using namespace keys;

namespace {
const std::string kHeader = "Type bits/keyID    Date       User ID\r\n";
const std::string kKey512 = "pub   512/1A2B3C4D 1995/03/07 Alice <alice@example.org>";
const std::string kKey1024 = "pub  1024/DEADBEEF 1996/11/30 Bob";
} // namespace

TEST(UserListing, KeyLineTestAndFields)
{
    EXPECT_TRUE(isKeyLine(kKey512));
    const UserRow r = userRowOf(kKey512);
    EXPECT_EQ(r.bits, " 512");
    EXPECT_EQ(r.keyId, "1A2B3C4D");
    EXPECT_EQ(r.date, " 1995/03/07");
    EXPECT_EQ(r.userId, "Alice <alice@example.org>");

    // German listing: the type field is "öff" in Latin-1.
    EXPECT_TRUE(isKeyLine("\xF6" "ff  2048/0000FFFF 2001/01/01 J\xFCrgen"));
    EXPECT_EQ(userRowOf("\xF6" "ff  2048/0000FFFF 2001/01/01 J\xFCrgen").userId, "J\xFCrgen");

    // No "/" at all; a "/" only in the first five characters passes, and the
    // short rest gives short fields.
    EXPECT_FALSE(isKeyLine("pub  1024 DEADBEEF 1996-11-30 Bob"));
    EXPECT_TRUE(isKeyLine("a/b  xyz"));
    EXPECT_EQ(userRowOf("a/b  xyz").bits, "xyz");
    EXPECT_EQ(userRowOf("a/b  xyz").keyId, "");
    EXPECT_EQ(userRowOf("a/b").bits, "");

    // Continuation line: a "/" at rest position 7 or later fails, at 6 passes.
    EXPECT_FALSE(isKeyLine("                              Alice/Work <a@b>"));
    EXPECT_FALSE(isKeyLine("12345" "123456/"));
    EXPECT_TRUE(isKeyLine("12345" "12345/"));
}

TEST(UserListing, HeaderRowRemovedAndCounts)
{
    // One key: the header row goes, the key stays.
    auto rows = userRows(kHeader + kKey512 + "\r\n1 matching key found.\r\n");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].keyId, "1A2B3C4D");

    // The first qualifying line is removed even when it is a key.
    rows = userRows(kKey512 + "\r\n" + kKey1024 + "\r\n");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].keyId, "DEADBEEF");

    // Empty file, and a file of text that never qualifies.
    EXPECT_TRUE(userRows("").empty());
    EXPECT_TRUE(userRows("pgp: command not found\n").empty());

    // LF-only and a last line without its end still count.
    rows = userRows(kHeader + kKey512 + "\n" + kKey1024);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].userId, "Bob");
}

TEST(UserListing, TextLines)
{
    EXPECT_EQ(textLines("").size(), 1u); // one empty line
    EXPECT_EQ(textLines("a\r\nb\r\n").size(), 2u);
    auto l = textLines("a\r\n\r\nb");
    ASSERT_EQ(l.size(), 3u);
    EXPECT_EQ(l[1], "");
    EXPECT_EQ(l[2], "b");
    EXPECT_EQ(textLines("a\rb\nc").size(), 3u);
}

TEST(TreeListing, ClassificationAndKeyId)
{
    EXPECT_EQ(classifyTreeLine("pub  1024/DEADBEEF 1996/11/30 Bob"), TreeLine::Key);
    EXPECT_EQ(classifyTreeLine("\xF6" "ff  1024/DEADBEEF"), TreeLine::Key);
    EXPECT_EQ(classifyTreeLine("sig       12345678             Carol"), TreeLine::Child);
    EXPECT_EQ(classifyTreeLine("Unt       12345678             Carol"), TreeLine::Child);
    EXPECT_EQ(classifyTreeLine("                              Bob <b@x>"), TreeLine::Child);
    for (const char *skip : {"Pub  1024/DEADBEEF", "\tsig", "  sig", " ", "", "pu", "Key ring: 'pubring.pgp'",
                             "\xD6" "ff  uppercase umlaut", "2 matching keys found."})
        EXPECT_EQ(classifyTreeLine(skip), TreeLine::Skip) << skip;

    EXPECT_EQ(keyIdText("pub  1024/DEADBEEF 1996/11/30 Bob"), "DEADBEEF");
    EXPECT_EQ(keyIdText("sig       12345678             Carol"), "12345678");
    EXPECT_TRUE(isBlankKeyId(keyIdText("                              Bob <b@x>")));
    EXPECT_EQ(keyIdText("pub  1024/DEAD"), "DEAD"); // shorter, passed on as it is
    EXPECT_FALSE(isBlankKeyId(keyIdText("pub  1024/DEAD")));
    EXPECT_EQ(keyIdText("pub"), "");
}
