#include "crypt/CryptCore.h"
#include "crypt/EditorFont.h"
#include "crypt/EditorText.h"

#include <QApplication>
#include <QFontInfo>
#include <QPlainTextEdit>
#include <gtest/gtest.h>

using namespace cryptcmd;

TEST(CryptCore, FileCommandLettersFollowBATOrder)
{
    EXPECT_EQ(fileCommandOptions(FileCommand::Encrypt, false, false, false), "-e");
    EXPECT_EQ(fileCommandOptions(FileCommand::Encrypt, false, true, true), "-eat");
    EXPECT_EQ(fileCommandOptions(FileCommand::Encrypt, true, false, true), "-ebt");
    EXPECT_EQ(fileCommandOptions(FileCommand::Sign, false, false, false), "-s +batchmode");
    EXPECT_EQ(fileCommandOptions(FileCommand::Sign, true, true, true), "-sbat +batchmode");
    // Decrypt never takes letters: pgp decides by the file.
    EXPECT_EQ(fileCommandOptions(FileCommand::Decrypt, true, true, true), "");
}

TEST(CryptCore, EditorCommandTable)
{
    EXPECT_EQ(editorCommandOptions(EditorCommand::AddKey, true, true), "-ka +batchmode");
    EXPECT_EQ(editorCommandOptions(EditorCommand::Encrypt, false, false), "-ea +batchmode");
    EXPECT_EQ(editorCommandOptions(EditorCommand::Encrypt, true, false), "-eab +batchmode");
    EXPECT_EQ(editorCommandOptions(EditorCommand::Encrypt, true, true), "-eabt +batchmode");
    EXPECT_EQ(editorCommandOptions(EditorCommand::Sign, false, true), "-sat +batchmode");
    EXPECT_EQ(editorCommandOptions(EditorCommand::Decrypt, true, true), "");

    using V = std::vector<std::string>;
    auto temps = [](EditorCommand c) {
        V v;
        for (const char *n : editorCommandRow(c).tempFiles)
            v.push_back(n);
        return v;
    };
    EXPECT_EQ(temps(EditorCommand::AddKey), (V{"QUORBIX.tmp", "QUORBIX.asc", "QUORBIX.pgp"}));
    EXPECT_EQ(temps(EditorCommand::Encrypt), (V{"QUORBIX.tmp", "QUORBIX.asc", "QUORBIX.pgp"}));
    EXPECT_EQ(temps(EditorCommand::Decrypt), (V{"QUORBIX.tmp", "QUORBIX.asc", "QUORBIX.pgp", "QUORBIX"}));
    EXPECT_EQ(temps(EditorCommand::Sign), (V{"QUORBIX.tmp", "QUORBIX.asc"}));

    EXPECT_EQ(resultFileName(editorCommandRow(EditorCommand::AddKey).result), "out.txt");
    EXPECT_EQ(resultFileName(editorCommandRow(EditorCommand::Encrypt).result), "QUORBIX.asc");
    EXPECT_EQ(resultFileName(editorCommandRow(EditorCommand::Decrypt).result), "QUORBIX");
    EXPECT_EQ(resultFileName(editorCommandRow(EditorCommand::Sign).result), "QUORBIX.asc");

    EXPECT_EQ(editorCommandRow(EditorCommand::AddKey).viewer, ViewerPolicy::Never);
    EXPECT_EQ(editorCommandRow(EditorCommand::Decrypt).viewer, ViewerPolicy::Always);
    EXPECT_EQ(editorCommandRow(EditorCommand::Sign).viewer, ViewerPolicy::WhenResultMissing);

    // Only encrypt takes CommandBusy; decrypt and sign need the pass phrase.
    for (auto c : {EditorCommand::AddKey, EditorCommand::Decrypt, EditorCommand::Sign})
        EXPECT_FALSE(editorCommandRow(c).takesCommandBusy);
    EXPECT_TRUE(editorCommandRow(EditorCommand::Encrypt).takesCommandBusy);
    EXPECT_FALSE(editorCommandRow(EditorCommand::Encrypt).needsPassPhrase);
    EXPECT_TRUE(editorCommandRow(EditorCommand::Decrypt).needsPassPhrase);
    EXPECT_TRUE(editorCommandRow(EditorCommand::Sign).needsPassPhrase);
    EXPECT_TRUE(editorCommandRow(EditorCommand::AddKey).refreshUserList);
}

TEST(CryptCore, InlineRecipientsFirstLine)
{
    auto s = splitInlineRecipients("//0x12345678 0x9ABCDEF0\nHello\nWorld");
    EXPECT_TRUE(s.found);
    EXPECT_EQ(s.recipients, "0x12345678 0x9ABCDEF0");
    EXPECT_EQ(s.rest, "Hello\nWorld");

    // Blanks after "//" are kept as they stand.
    s = splitInlineRecipients("// \"Ann Bee\" \nx");
    EXPECT_EQ(s.recipients, " \"Ann Bee\" ");

    // "//" alone: empty result, the line still goes.
    s = splitInlineRecipients("//\ntext");
    EXPECT_TRUE(s.found);
    EXPECT_EQ(s.recipients, "");
    EXPECT_EQ(s.rest, "text");

    // The only line.
    s = splitInlineRecipients("//0x11111111");
    EXPECT_EQ(s.recipients, "0x11111111");
    EXPECT_EQ(s.rest, "");

    for (const char *t : {"/ /0x1", " //0x1", "text //0x1\n", "/", ""}) {
        s = splitInlineRecipients(t);
        EXPECT_FALSE(s.found) << t;
        EXPECT_EQ(s.rest, t);
        EXPECT_EQ(s.recipients, "");
    }
    // Only the first line counts.
    EXPECT_FALSE(splitInlineRecipients("text\n//0x1").found);
}

TEST(CryptCore, InlineRecipientsOnEditor)
{
    QPlainTextEdit ed;
    ed.setPlainText("//0xAAAAAAAA 0xBBBBBBBB\nline two\nline three");
    EXPECT_EQ(InlineRecipients(&ed), "0xAAAAAAAA 0xBBBBBBBB");
    EXPECT_EQ(ed.toPlainText(), "line two\nline three");
    // A second call finds no "//" line and leaves the text alone.
    EXPECT_EQ(InlineRecipients(&ed), "");
    EXPECT_EQ(ed.toPlainText(), "line two\nline three");

    ed.setPlainText("//");
    EXPECT_EQ(InlineRecipients(&ed), "");
    EXPECT_EQ(ed.toPlainText(), "");
}

TEST(CryptCore, CaptionUsesNameWithoutDirectory)
{
    EXPECT_EQ(captionWithFile("QUORBIX Version 2.0", "/home/u/My Mail/letter.asc"),
              "QUORBIX Version 2.0 - letter.asc");
    EXPECT_EQ(captionFileName("plain.txt"), "plain.txt");
    EXPECT_EQ(captionFileName(std::string(300, 'x')).size(), 255u);
    // A long UTF-8 name is not cut inside a character.
    std::string name = std::string(254, 'a') + "\xC3\xA4" + "b";
    EXPECT_EQ(captionFileName("/d/" + name), std::string(254, 'a'));
}

TEST(EditorText, Latin1FilesWithCrLf)
{
    // Reading: CR LF, LF and CR all end lines; the last line end adds no line.
    EXPECT_EQ(editorTextFromFile("a\r\nb\nc\rd\r\n"), QString("a\nb\nc\nd"));
    EXPECT_EQ(editorTextFromFile("caf\xE9\r\n"), QString::fromUtf8("café"));
    EXPECT_EQ(editorTextFromFile(""), QString());
    EXPECT_EQ(editorTextFromFile("a\r\n\r\n"), QString("a\n"));

    // Writing: every line ends with CR LF, Latin-1 bytes.
    auto w = fileBytesFromEditor(QString::fromUtf8("Grüße\nzwei"));
    ASSERT_TRUE(w.ok);
    EXPECT_EQ(w.bytes, "Gr\xFC\xDF" "e\r\nzwei\r\n");
    EXPECT_EQ(fileBytesFromEditor(QString()).bytes, "");
    // A no-break space is Latin-1 and stays one.
    EXPECT_EQ(fileBytesFromEditor(QString(QChar(0xA0))).bytes, "\xA0\r\n");
    // Windows Latin-1: the euro sign, dashes and German quotes have bytes of their own,
    // and a file's 0x80-0x9F bytes are read as those characters.
    const QString windows = QString::fromUtf8("5 € – „Ja“ … Š");
    auto cp = fileBytesFromEditor(windows);
    ASSERT_TRUE(cp.ok);
    EXPECT_EQ(cp.bytes, "5 \x80 \x96 \x84Ja\x93 \x85 \x8A\r\n");
    EXPECT_EQ(editorTextFromFile(cp.bytes), windows);
    // The five bytes the code page leaves open survive a load and save.
    EXPECT_EQ(fileBytesFromEditor(editorTextFromFile("\x81\x8D\x8F\x90\x9D")).bytes, "\x81\x8D\x8F\x90\x9D\r\n");

    // pgp's results: UTF-8 beyond Windows Latin-1 is shown as the letters it
    // holds; Windows Latin-1 bytes stay themselves, also where they happen to
    // form UTF-8 ("Ã¼" is 0xC3 0xBC) or are plain ASCII.
    EXPECT_EQ(editorTextFromResult("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 Gr\xC3\xBC\xC3\x9F" "e\r\n"),
              QString::fromUtf8("Привет Grüße"));
    EXPECT_EQ(editorTextFromResult("\xC3\xBC\r\nx\r\n"), QString::fromUtf8("Ã¼\nx"));
    EXPECT_EQ(editorTextFromResult(cp.bytes), windows);
    EXPECT_EQ(editorTextFromResult("a\r\nb\r\n"), QString("a\nb"));

    // Round trips keep the text.
    for (const char *t : {"x", "x\n", "\n\n", "a\nb"}) {
        QString s = QString::fromUtf8(t);
        EXPECT_EQ(editorTextFromFile(fileBytesFromEditor(s).bytes), s) << t;
    }
}

TEST(EditorText, TextOutsideLatin1IsRefused)
{
    auto w = fileBytesFromEditor(QString::fromUtf8("ok 5 \u20AC\nPreis \u041F\u0440\u0438\nmehr"));
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.bytes, "");
    EXPECT_EQ(w.badChar, QString::fromUtf8("\u041F"));
    EXPECT_EQ(w.badLine, 2);
    const std::string de = latin1RefusalText(w, false);
    EXPECT_NE(de.find("Windows-Latin-1"), std::string::npos);
    EXPECT_NE(de.find("\u041F"), std::string::npos);
    EXPECT_NE(de.find("Zeile 2"), std::string::npos);
    EXPECT_NE(latin1RefusalText(w, true).find("line 2"), std::string::npos);
    EXPECT_NE(latin1RefusalText(w, true).find("Windows Latin-1"), std::string::npos);
    // A C1 control is no Windows Latin-1 character (0x80 is the euro sign).
    EXPECT_FALSE(fileBytesFromEditor(QString(QChar(0x80))).ok);

    // A character beyond the basic plane is named whole.
    auto e = fileBytesFromEditor(QString::fromUtf8("\U0001F600"));
    EXPECT_FALSE(e.ok);
    EXPECT_EQ(e.badChar, QString::fromUtf8("\U0001F600"));
}

TEST(EditorFont, RecordFromFontAndBack)
{
    QFont f("DejaVu Sans Mono");
    f.setPointSize(12);
    f.setBold(true);
    f.setUnderline(true);
    auto rec = fontRecordFrom(f, QColor(0x11, 0x22, 0x33));
    EXPECT_EQ(rec.color(), 0x332211);
    EXPECT_EQ(rec.size(), 12);
    EXPECT_EQ(rec.height(), -16); // 12 pt at 96 dpi
    EXPECT_EQ(rec.name(), "DejaVu Sans Mono");
    EXPECT_EQ(rec.style(), 1 | 4);
    EXPECT_EQ(rec.pitch(), QFontInfo(f).fixedPitch() ? 2 : 1);

    QPlainTextEdit ed;
    applyEditorFontRecord(&ed, rec);
    EXPECT_EQ(ed.font().family(), "DejaVu Sans Mono");
    EXPECT_EQ(ed.font().pointSize(), 12);
    EXPECT_TRUE(ed.font().bold());
    EXPECT_TRUE(ed.font().underline());
    EXPECT_FALSE(ed.font().italic());
    EXPECT_EQ(ed.palette().color(QPalette::Text), QColor(0x11, 0x22, 0x33));

    // Names are cut to 31 characters.
    QFont lng(QString(40, 'N'));
    EXPECT_EQ(fontRecordFrom(lng, Qt::black).name(), std::string(31, 'N'));
}

TEST(EditorFont, AllZeroRecordIsThePlatformDefault)
{
    QPlainTextEdit ed;
    QFont odd("Courier");
    odd.setPointSize(30);
    ed.setFont(odd);
    applyEditorFontRecord(&ed, app::EditorFontRecord{});
    EXPECT_EQ(ed.font(), QApplication::font());

    // A system colour (high byte set, as Windows stores window text) is the
    // default text colour, not some dark blue.
    app::EditorFontRecord sys;
    sys.setColor(std::int32_t(0xFF000008u));
    sys.setSize(10);
    EXPECT_FALSE(cryptcmd::colorFromRecord(sys).isValid());
    applyEditorFontRecord(&ed, sys);
    EXPECT_EQ(ed.palette().color(QPalette::Text), QApplication::palette(&ed).color(QPalette::Text));
    EXPECT_EQ(ed.font().pointSize(), 10);
}
