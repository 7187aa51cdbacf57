// The hotkey flows against a fake clipboard, a fake window tree and a
// stand-in for RunPgp that writes PGP's result files.
#include "app/AppState.h"
#include "support/FakeDesktop.h"
#include "browser/BrowserBridge.h"
#include "crypt/EditorText.h"
#include "crypt/RecordingDialogs.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using platform::WindowHandle;

namespace {

struct Flow {
    QTemporaryDir tmp;
    testsupport::RecordingDialogs dialogs;
    app::AppState st;
    testsupport::FakeClipboard clip;
    testsupport::FakeWindowTree win{&clip};
    testsupport::FakeGlobalHotkeys hotkeys;
    QPlainTextEdit editor;
    std::vector<pgp::RunRequest> runs;
    std::vector<std::string> inputs; // QUORBIX.tmp as PGP saw it
    std::map<std::string, std::string> results; // written by "PGP" into TempDir
    std::vector<std::string> calls;
    std::function<void()> chooser = [] {};
    std::function<void()> pass = [] {};
    std::function<void()> duringRun = [] {};
    int exitCode = 0; // what "PGP" ends with
    std::function<bool()> readable; // the clipboard's precondition, when set
    std::unique_ptr<browser::BrowserBridge> bridge;
    WindowHandle mailTop = 0;

    Flow(const std::string &browserSetting = "Clipboard")
    {
        st.sys.fs = &platform::systemFileSystem();
        st.dialogs = &dialogs;
        st.tempDir = tmp.path().toStdString();
        st.appDir = st.tempDir;
        st.helpFile = "/app/Quorbix.html";
        st.browser = browserSetting;
        browser::BridgeHost h;
        h.st = &st;
        h.editor = &editor;
        h.clipboard = &clip;
        h.windows = &win;
        h.runPgp = [this](const pgp::RunRequest &r) {
            runs.push_back(r);
            inputs.push_back(st.sys.fs->exists(r.operand1) ? st.sys.fs->readFile(r.operand1) : "<none>");
            duringRun();
            for (auto &[name, content] : results)
                st.sys.fs->writeFile(st.inTempDir(name), content);
            pgp::RunOutcome run;
            run.started = true;
            run.exitCode = exitCode;
            run.output = st.inAppDir("out.txt");
            return run;
        };
        h.chooseRecipient = [this] { calls.push_back("chooser"); chooser(); };
        h.askPassPhrase = [this] { calls.push_back("pass"); pass(); };
        h.showOutputViewer = [this] { calls.push_back("viewer"); };
        h.frontToOutputViewer = [this] { calls.push_back("frontViewer"); };
        h.minimise = [this] { calls.push_back("minimise"); };
        h.restore = [this] { calls.push_back("restore"); };
        h.readyNotice = [this] { calls.push_back("ready"); };
        h.clipboardReadable = [this] { return readable ? readable() : true; };
        bridge = std::make_unique<browser::BrowserBridge>(std::move(h));
        mailTop = win.add(0, "Outlook Express Browser Class");
        win.setFront(mailTop);
    }
    bool has(const char *call) const { return std::count(calls.begin(), calls.end(), call) > 0; }
    bool tempLeft() const
    {
        for (const char *n : {"QUORBIX.tmp", "QUORBIX.asc", "QUORBIX.pgp", "QUORBIX"})
            if (st.sys.fs->exists(st.inTempDir(n)))
                return true;
        return false;
    }
    std::string editorText() const { return cryptcmd::editorText(&editor).toStdString(); }
};

const std::string kArmoured = "-----BEGIN PGP MESSAGE-----\r\n\r\nhQEMA\r\n-----END PGP MESSAGE-----\r\n";

} // namespace

TEST(BrowserBridge, EncryptOnTheClipboardWithInlineKeyId)
{
    Flow f;
    f.clip.setText("//0x12345678\r\nHallo Welt\r\nzweite Zeile");
    f.results["QUORBIX.asc"] = kArmoured;
    const int changes = f.clip.changes;
    ASSERT_TRUE(f.bridge->hotkeyMessage(browser::kHotkeyEncrypt));
    ASSERT_EQ(f.runs.size(), 1u);
    EXPECT_EQ(f.runs[0].options, "-ea +batchmode");
    EXPECT_EQ(f.runs[0].operand1, f.st.inTempDir("QUORBIX.tmp"));
    EXPECT_TRUE(f.runs[0].operand1IsFile);
    EXPECT_EQ(f.runs[0].operand2, "0x12345678");
    EXPECT_EQ(f.runs[0].captureOutput, 1);
    EXPECT_EQ(f.runs[0].windowMode, 0);
    EXPECT_TRUE(f.runs[0].outputFile.empty());
    EXPECT_EQ(f.inputs[0], "Hallo Welt\r\nzweite Zeile\r\n"); // the "//" line is not encrypted
    EXPECT_EQ(f.st.recipientArg, "0x12345678");
    EXPECT_FALSE(f.has("chooser"));
    // The armoured text is on the clipboard (cleared, then filled), the editor empty.
    EXPECT_EQ(f.clip.text(), "-----BEGIN PGP MESSAGE-----\n\nhQEMA\n-----END PGP MESSAGE-----");
    EXPECT_EQ(f.clip.changes, changes + 2);
    EXPECT_EQ(f.editorText(), "");
    EXPECT_EQ(f.calls, (std::vector<std::string>{"minimise", "ready"}));
    EXPECT_EQ(f.win.log.back(), "front " + std::to_string(f.mailTop)); // the return window
    // No window search on the clipboard route.
    for (const std::string &l : f.win.log)
        EXPECT_NE(l.rfind("find", 0), 0u) << l;
    EXPECT_FALSE(f.tempLeft());
    EXPECT_FALSE(f.st.commandBusy);
}

TEST(BrowserBridge, EncryptChooserAndItsCancel)
{
    // A first line of just "//": the chooser opens and the line goes all the same.
    Flow f;
    f.clip.setText("//\nText");
    f.chooser = [&] { f.st.recipientArg = "0xAABBCCDD"; };
    f.results["QUORBIX.asc"] = kArmoured;
    f.st.recipientArg = "stale";
    f.bridge->hotkeyMessage(browser::kHotkeyEncrypt);
    EXPECT_TRUE(f.has("chooser"));
    ASSERT_EQ(f.runs.size(), 1u);
    EXPECT_EQ(f.runs[0].operand2, "0xAABBCCDD");
    EXPECT_EQ(f.inputs[0], "Text\r\n");

    // Cancelled: PGP does not run, the text goes back without the "//" line.
    Flow c("MIE");
    const WindowHandle body = c.win.add(c.mailTop, "ATH_Body");
    const WindowHandle edit = c.win.add(body, "HTMLEDIT", "//\nGeheim");
    c.bridge->hotkeyMessage(browser::kHotkeyEncrypt);
    EXPECT_TRUE(c.has("chooser"));
    EXPECT_TRUE(c.runs.empty());
    EXPECT_EQ(c.win.node(edit).text, "Geheim");
    EXPECT_FALSE(c.has("ready")); // only for exactly "Clipboard"
    EXPECT_FALSE(c.tempLeft());
}

TEST(BrowserBridge, EncryptWithoutResultShowsViewerAndPutsNothingBack)
{
    Flow f("MIE");
    const WindowHandle body = f.win.add(f.mailTop, "ATH_Body");
    const WindowHandle edit = f.win.add(body, "HTMLEDIT", "//0x1 0x2\nMail text");
    f.bridge->hotkeyMessage(browser::kHotkeyEncrypt);
    ASSERT_EQ(f.runs.size(), 1u);
    EXPECT_EQ(f.runs[0].operand2, "0x1 0x2");
    EXPECT_TRUE(f.has("viewer"));
    EXPECT_FALSE(f.has("restore")); // stays minimised
    EXPECT_EQ(f.win.node(edit).text, "//0x1 0x2\nMail text");
    EXPECT_EQ(f.editorText(), "Mail text"); // the input text
    for (const std::string &l : f.win.log)
        EXPECT_NE(l.rfind("paste", 0), 0u);
    EXPECT_FALSE(f.tempLeft());
}

TEST(BrowserBridge, EncryptAndSignOnTheMailRouteReplaceTheMailText)
{
    Flow f("MIE");
    const WindowHandle body = f.win.add(f.mailTop, "ATH_Body");
    const WindowHandle edit = f.win.add(body, "HTMLEDIT", "//0x12345678\nLiebe Grüße");
    f.results["QUORBIX.asc"] = kArmoured;
    f.bridge->hotkeyMessage(browser::kHotkeyEncrypt);
    EXPECT_EQ(f.win.node(edit).text, "-----BEGIN PGP MESSAGE-----\n\nhQEMA\n-----END PGP MESSAGE-----");
    const std::vector<std::string> expected = {
        "foreground", "foreground", "find " + std::to_string(f.mailTop) + " ATH_Body",
        "find " + std::to_string(body) + " HTMLEDIT", "keysUp", "selectAll " + std::to_string(edit),
        "copy " + std::to_string(edit), "paste " + std::to_string(edit), "front " + std::to_string(f.mailTop)};
    EXPECT_EQ(f.win.log, expected);
    EXPECT_EQ(f.inputs[0], "Liebe Gr\xFC\xDF" "e\r\n"); // Latin-1 for PGP

    Flow s("MIE");
    const WindowHandle sb = s.win.add(s.mailTop, "ATH_Body");
    const WindowHandle se = s.win.add(sb, "HTMLEDIT", "Signed text");
    s.st.passPhrase = "secret";
    s.results["QUORBIX.asc"] = "-----BEGIN PGP SIGNED MESSAGE-----\r\n\r\nSigned text\r\n";
    s.bridge->hotkeyMessage(browser::kHotkeySign);
    ASSERT_EQ(s.runs.size(), 1u);
    EXPECT_EQ(s.runs[0].options, "-sat +batchmode");
    EXPECT_EQ(s.runs[0].operand2, "");
    EXPECT_FALSE(s.has("pass"));
    EXPECT_EQ(s.win.node(se).text, "-----BEGIN PGP SIGNED MESSAGE-----\n\nSigned text");
    EXPECT_FALSE(s.tempLeft());
}

TEST(BrowserBridge, MailTextNotCopiedStopsBeforePgp)
{
    // An earlier secret sits on the clipboard; the mail window copies nothing:
    // it is empty, or the keys never reach it. No flow may take the secret for
    // the mail's text.
    for (int id : {browser::kHotkeyEncrypt, browser::kHotkeyDecrypt, browser::kHotkeySign}) {
        for (bool deaf : {false, true}) {
            SCOPED_TRACE(std::to_string(id) + (deaf ? " deaf" : " empty"));
            Flow f("MIE");
            const WindowHandle parent =
                id == browser::kHotkeyDecrypt ? f.win.add(f.mailTop, "MailViewer") : f.mailTop;
            const WindowHandle body = f.win.add(parent, "ATH_Body");
            const std::string mail = deaf ? "Liebe Anna" : "";
            const WindowHandle edit = f.win.add(body, "HTMLEDIT", mail);
            f.win.node(edit).deaf = deaf;
            f.clip.setText("Der alte Klartext");
            f.st.passPhrase = "pw";
            f.results["QUORBIX.asc"] = kArmoured;
            f.results["QUORBIX"] = "Klartext\r\n";
            f.bridge->hotkeyMessage(id);
            ASSERT_EQ(f.dialogs.shown.size(), 1u);
            EXPECT_EQ(f.dialogs.shown[0].kind, "error");
            EXPECT_EQ(f.dialogs.shown[0].text, f.st.texts.msg(app::Msg::MailTextNotCopied));
            EXPECT_TRUE(f.runs.empty());
            EXPECT_FALSE(f.has("chooser"));
            EXPECT_FALSE(f.has("pass"));
            EXPECT_EQ(f.win.node(edit).text, mail);
            for (const std::string &l : f.win.log)
                EXPECT_NE(l.rfind("paste", 0), 0u) << l;
            EXPECT_EQ(f.clip.text(), "Der alte Klartext");
            EXPECT_EQ(f.editorText().find("Klartext"), std::string::npos);
            EXPECT_FALSE(f.tempLeft());
            EXPECT_FALSE(f.st.commandBusy);
        }
    }
    // The message in English too.
    app::TextCatalog en;
    en.setEnglish();
    EXPECT_NE(en.msg(app::Msg::MailTextNotCopied).find("could not be copied"), std::string::npos);
    EXPECT_NE(app::TextCatalog().msg(app::Msg::MailTextNotCopied).find("nicht kopieren"), std::string::npos);
}

TEST(BrowserBridge, MailRouteGivesTheUsersClipboardBack)
{
    // Encrypt: the result replaces the mail text, then the user's clipboard returns.
    Flow f("MIE");
    const WindowHandle body = f.win.add(f.mailTop, "ATH_Body");
    const WindowHandle edit = f.win.add(body, "HTMLEDIT", "//0x12345678\nHallo");
    f.clip.setText("Einkaufsliste");
    f.results["QUORBIX.asc"] = kArmoured;
    f.bridge->hotkeyMessage(browser::kHotkeyEncrypt);
    EXPECT_EQ(f.inputs.at(0), "Hallo\r\n");
    EXPECT_EQ(f.win.node(edit).text, "-----BEGIN PGP MESSAGE-----\n\nhQEMA\n-----END PGP MESSAGE-----");
    EXPECT_EQ(f.clip.text(), "Einkaufsliste");

    // The chooser cancelled: the text goes back, the clipboard too.
    Flow c("MIE");
    const WindowHandle cb = c.win.add(c.mailTop, "ATH_Body");
    const WindowHandle ce = c.win.add(cb, "HTMLEDIT", "Noch ohne Empfänger");
    c.bridge->hotkeyMessage(browser::kHotkeyEncrypt);
    EXPECT_TRUE(c.runs.empty());
    EXPECT_EQ(c.win.node(ce).text, "Noch ohne Empfänger");
    EXPECT_FALSE(c.clip.hasText); // it held nothing before

    // Sign without a result: the mail keeps its text, the clipboard its own.
    Flow s("MIE");
    const WindowHandle sb = s.win.add(s.mailTop, "ATH_Body");
    const WindowHandle se = s.win.add(sb, "HTMLEDIT", "Zu signieren");
    s.st.passPhrase = "pw";
    s.clip.setText("vorher");
    s.bridge->hotkeyMessage(browser::kHotkeySign);
    EXPECT_EQ(s.runs.size(), 1u);
    EXPECT_TRUE(s.has("viewer"));
    EXPECT_EQ(s.win.node(se).text, "Zu signieren");
    EXPECT_EQ(s.clip.text(), "vorher");

    // A window that never fetched the pasted text may still ask: it stays.
    Flow late("MIE");
    const WindowHandle lb = late.win.add(late.mailTop, "ATH_Body");
    late.win.add(lb, "HTMLEDIT", "//0x1\nText");
    late.win.pasteFetches = false;
    late.clip.setText("vorher");
    late.results["QUORBIX.asc"] = kArmoured;
    late.bridge->hotkeyMessage(browser::kHotkeyEncrypt);
    EXPECT_EQ(late.clip.text(), "-----BEGIN PGP MESSAGE-----\n\nhQEMA\n-----END PGP MESSAGE-----");

    // Decrypt leaves its plain text on the clipboard, as it is meant to.
    Flow d("MIE");
    const WindowHandle dv = d.win.add(d.mailTop, "MailViewer");
    const WindowHandle db = d.win.add(dv, "ATH_Body");
    d.win.add(db, "HTMLEDIT", "-----BEGIN PGP MESSAGE-----");
    d.st.passPhrase = "pw";
    d.clip.setText("vorher");
    d.results["QUORBIX"] = "Klartext\r\n";
    d.bridge->hotkeyMessage(browser::kHotkeyDecrypt);
    EXPECT_EQ(d.clip.text(), "Klartext");

    // The clipboard route leaves the clipboard to the flow.
    Flow r;
    r.clip.setText("//0x1\nText");
    r.results["QUORBIX.asc"] = kArmoured;
    r.bridge->hotkeyMessage(browser::kHotkeyEncrypt);
    EXPECT_EQ(r.clip.text(), "-----BEGIN PGP MESSAGE-----\n\nhQEMA\n-----END PGP MESSAGE-----");
    EXPECT_EQ(std::count(r.win.log.begin(), r.win.log.end(), "keysUp"), 0);
}

TEST(BrowserBridge, ResultOnlyFromTheRunThatSucceeded)
{
    // PGP failed but left a result file: it is not taken, on either route.
    for (int id : {browser::kHotkeyEncrypt, browser::kHotkeyDecrypt, browser::kHotkeySign}) {
        SCOPED_TRACE(id);
        Flow f("MIE");
        const WindowHandle parent = id == browser::kHotkeyDecrypt ? f.win.add(f.mailTop, "MailViewer") : f.mailTop;
        const WindowHandle body = f.win.add(parent, "ATH_Body");
        const WindowHandle edit = f.win.add(body, "HTMLEDIT", "//0x1\nDer Text");
        f.st.passPhrase = "pw";
        f.exitCode = 1;
        f.results["QUORBIX.asc"] = kArmoured;
        f.results["QUORBIX"] = "Halbfertig\r\n";
        f.clip.setText("vorher");
        f.bridge->hotkeyMessage(id);
        EXPECT_EQ(f.runs.size(), 1u);
        EXPECT_TRUE(f.has("viewer"));
        EXPECT_FALSE(f.has("restore"));
        EXPECT_EQ(f.win.node(edit).text, "//0x1\nDer Text");
        EXPECT_EQ(f.clip.text(), "vorher");
        EXPECT_EQ(f.editorText().find("Halbfertig"), std::string::npos);
        EXPECT_EQ(f.editorText().find("BEGIN PGP"), std::string::npos);
    }

    // A link planted at the result's name while PGP runs is not followed.
    Flow g;
    g.clip.setText("//0x1\nText");
    const std::string elsewhere = g.st.inTempDir("elsewhere");
    g.st.sys.fs->writeFile(elsewhere, "fremder Inhalt\r\n");
    g.duringRun = [&] { ASSERT_TRUE(QFile::link(QString::fromStdString(elsewhere), QString::fromStdString(g.st.inTempDir("QUORBIX.asc")))); };
    g.bridge->hotkeyMessage(browser::kHotkeyEncrypt);
    EXPECT_TRUE(g.has("viewer"));
    EXPECT_EQ(g.clip.text(), "//0x1\nText");
    EXPECT_EQ(g.editorText(), "Text");
    ASSERT_FALSE(g.dialogs.shown.empty());
    EXPECT_NE(g.dialogs.shown.back().text.find("QUORBIX.asc"), std::string::npos);
    EXPECT_FALSE(g.st.sys.fs->exists(g.st.inTempDir("QUORBIX.tmp")));
}

TEST(BrowserBridge, AClipboardTextEndingInALineBreakGainsNoEmptyLine)
{
    for (const char *ending : {"\n", "\r\n", "\r"}) {
        Flow f;
        f.clip.setText(std::string("//0x1\nErste\nLetzte") + ending);
        f.results["QUORBIX.asc"] = kArmoured;
        f.bridge->hotkeyMessage(browser::kHotkeyEncrypt);
        ASSERT_EQ(f.inputs.size(), 1u);
        EXPECT_EQ(f.inputs[0], "Erste\r\nLetzte\r\n");
    }
    // An intended empty last line survives: only one break is the text's end.
    Flow two;
    two.clip.setText("//0x1\nText\n\n");
    two.results["QUORBIX.asc"] = kArmoured;
    two.bridge->hotkeyMessage(browser::kHotkeyEncrypt);
    EXPECT_EQ(two.inputs.at(0), "Text\r\n\r\n");
}

TEST(BrowserBridge, WindowSearchBranches)
{
    // Nothing found: the message with help context 901; the application stays minimised.
    Flow none("MIE");
    none.bridge->hotkeyMessage(browser::kHotkeyEncrypt);
    ASSERT_EQ(none.dialogs.shown.size(), 1u);
    EXPECT_EQ(none.dialogs.shown[0].kind, "infohelp");
    EXPECT_EQ(none.dialogs.shown[0].text, "Internet Explorer nicht gefunden !");
    EXPECT_EQ(none.calls, (std::vector<std::string>{"minimise"}));
    EXPECT_TRUE(none.runs.empty());
    for (const std::string &l : none.win.log)
        EXPECT_NE(l.rfind("front", 0), 0u) << l;

    // A body without its text window: the flow ends without a word.
    Flow bare("MIE");
    bare.win.add(bare.mailTop, "ATH_Body");
    bare.clip.setText("untouched");
    bare.bridge->hotkeyMessage(browser::kHotkeySign);
    EXPECT_TRUE(bare.dialogs.shown.empty());
    EXPECT_TRUE(bare.runs.empty());
    EXPECT_FALSE(bare.has("pass"));
    EXPECT_EQ(bare.clip.text(), "untouched");

    // Decrypt looks in a reading window's viewer; a viewer without a body ends silently.
    Flow viewerOnly("MIE");
    viewerOnly.win.add(viewerOnly.mailTop, "MailViewer");
    viewerOnly.bridge->hotkeyMessage(browser::kHotkeyDecrypt);
    EXPECT_TRUE(viewerOnly.dialogs.shown.empty());
    EXPECT_TRUE(viewerOnly.runs.empty());

    // A viewer's body without its text window: also silent.
    Flow noEdit("MIE");
    const WindowHandle v = noEdit.win.add(noEdit.mailTop, "MailViewer");
    noEdit.win.add(v, "ATH_Body");
    noEdit.bridge->hotkeyMessage(browser::kHotkeyDecrypt);
    EXPECT_TRUE(noEdit.dialogs.shown.empty());
    EXPECT_TRUE(noEdit.runs.empty());

    // Encrypt does not look at a viewer: the compose search finds nothing.
    Flow composeOnly("MIE");
    const WindowHandle v2 = composeOnly.win.add(composeOnly.mailTop, "MailViewer");
    const WindowHandle b2 = composeOnly.win.add(v2, "ATH_Body");
    composeOnly.win.add(b2, "HTMLEDIT", "x");
    composeOnly.bridge->hotkeyMessage(browser::kHotkeyEncrypt);
    ASSERT_EQ(composeOnly.dialogs.shown.size(), 1u);
    EXPECT_EQ(composeOnly.dialogs.shown[0].text, "Internet Explorer nicht gefunden !");
}

TEST(BrowserBridge, DecryptLeavesPlaintextOnClipboardAndMailUnchanged)
{
    Flow f("MIE");
    const WindowHandle v = f.win.add(f.mailTop, "MailViewer");
    const WindowHandle b = f.win.add(v, "ATH_Body");
    const WindowHandle e = f.win.add(b, "HTMLEDIT", "-----BEGIN PGP MESSAGE-----\nxyz");
    f.st.passPhrase = "pw";
    f.results["QUORBIX"] = "Klartext\r\nZeile 2\r\n";
    // A result left from an interrupted run is never taken for this one.
    f.st.sys.fs->writeFile(f.st.inTempDir("QUORBIX"), "stale");
    f.bridge->hotkeyMessage(browser::kHotkeyDecrypt);
    ASSERT_EQ(f.runs.size(), 1u);
    EXPECT_EQ(f.runs[0].options, " +batchmode"); // begins with a blank
    EXPECT_EQ(f.runs[0].operand2, "");
    EXPECT_EQ(f.inputs[0], "-----BEGIN PGP MESSAGE-----\r\nxyz\r\n");
    EXPECT_EQ(f.clip.text(), "Klartext\nZeile 2");
    EXPECT_EQ(f.editorText(), "Klartext\nZeile 2");
    EXPECT_EQ(f.editor.textCursor().selectionStart(), f.editor.textCursor().selectionEnd());
    EXPECT_EQ(f.win.node(e).text, "-----BEGIN PGP MESSAGE-----\nxyz");
    EXPECT_EQ(f.calls, (std::vector<std::string>{"minimise", "viewer", "restore", "frontViewer"}));
    EXPECT_FALSE(f.tempLeft());

    // Without a result: the viewer, and the front back to the mail window.
    Flow g;
    g.st.passPhrase = "pw";
    g.clip.setText("garbage");
    g.bridge->hotkeyMessage(browser::kHotkeyDecrypt);
    EXPECT_EQ(g.calls, (std::vector<std::string>{"minimise", "viewer"}));
    EXPECT_EQ(g.win.log.back(), "front " + std::to_string(g.mailTop));
    EXPECT_EQ(g.clip.text(), "garbage");
    EXPECT_FALSE(g.tempLeft());
}

TEST(BrowserBridge, NoPassPhrase)
{
    // Decrypt: the editor is cleared, PGP does not run, the application stays minimised.
    Flow d;
    d.clip.setText("cipher");
    d.bridge->hotkeyMessage(browser::kHotkeyDecrypt);
    EXPECT_TRUE(d.has("pass"));
    EXPECT_TRUE(d.runs.empty());
    EXPECT_EQ(d.editorText(), "");
    EXPECT_EQ(d.win.log, (std::vector<std::string>{"foreground"}));

    // Sign: the same, but the front goes back to the window that had it.
    Flow s;
    s.clip.setText("text");
    s.bridge->hotkeyMessage(browser::kHotkeySign);
    EXPECT_TRUE(s.runs.empty());
    EXPECT_EQ(s.editorText(), "");
    EXPECT_EQ(s.win.log.back(), "front " + std::to_string(s.mailTop));

    // A pass phrase given in the dialog is used at once.
    Flow ok;
    ok.clip.setText("text");
    ok.pass = [&] { ok.st.passPhrase = "pw"; };
    ok.results["QUORBIX.asc"] = "signed\r\n";
    ok.bridge->hotkeyMessage(browser::kHotkeySign);
    EXPECT_EQ(ok.runs.size(), 1u);
    EXPECT_EQ(ok.clip.text(), "signed");
}

TEST(BrowserBridge, OtherBrowserValueTakesClipboardRouteWithoutNotice)
{
    Flow f("mie"); // case matters
    f.clip.setText("//0x1\nabc");
    f.results["QUORBIX.asc"] = kArmoured;
    f.bridge->hotkeyMessage(browser::kHotkeyEncrypt);
    EXPECT_EQ(f.runs.size(), 1u);
    EXPECT_FALSE(f.has("ready"));
    EXPECT_NE(f.clip.text().find("BEGIN PGP MESSAGE"), std::string::npos);
}

TEST(BrowserBridge, HotkeysDuringAFlowOrCommandAreIgnored)
{
    Flow f;
    f.clip.setText("//0x1\nabc");
    f.results["QUORBIX.asc"] = kArmoured;
    bool nested = true;
    f.duringRun = [&] {
        EXPECT_TRUE(f.bridge->busy());
        EXPECT_TRUE(f.st.commandBusy);
        nested = f.bridge->hotkeyMessage(browser::kHotkeySign);
    };
    EXPECT_TRUE(f.bridge->hotkeyMessage(browser::kHotkeyEncrypt));
    EXPECT_FALSE(nested);
    EXPECT_EQ(f.runs.size(), 1u);
    EXPECT_FALSE(f.bridge->busy());
    EXPECT_FALSE(f.st.commandBusy);

    f.st.commandBusy = true; // a command button runs
    EXPECT_FALSE(f.bridge->hotkeyMessage(browser::kHotkeyEncrypt));
    f.st.commandBusy = false;
    EXPECT_FALSE(f.bridge->hotkeyMessage(400)); // not ours
    EXPECT_EQ(f.runs.size(), 1u);
}

TEST(BrowserBridge, TextOutsideLatin1IsRefusedAndKept)
{
    Flow f;
    // Cyrillic is no Windows Latin-1.
    f.clip.setText("//0x1\nPrice: 5 \xE2\x82\xAC, \xD0\x9F\xD1\x80\xD0\xB8");
    f.bridge->hotkeyMessage(browser::kHotkeyEncrypt);
    EXPECT_TRUE(f.runs.empty());
    ASSERT_EQ(f.dialogs.shown.size(), 1u);
    EXPECT_EQ(f.dialogs.shown[0].kind, "error");
    EXPECT_NE(f.dialogs.shown[0].text.find("Latin-1"), std::string::npos);
    EXPECT_EQ(f.editorText(), "Price: 5 \xE2\x82\xAC, \xD0\x9F\xD1\x80\xD0\xB8"); // nothing lost
    EXPECT_FALSE(f.st.commandBusy);
}

TEST(BrowserBridge, WindowsLatin1TextTravelsThroughTheClipboard)
{
    // The euro sign, a dash and German quotes: Windows-1252 bytes for pgp, and what pgp
    // gives back in that code page is UTF-8 on the clipboard again.
    Flow f;
    f.clip.setText("//0x1\n\xE2\x80\x9EGr\xC3\xBC\xC3\x9F" "e\xE2\x80\x9C \xE2\x80\x93 5 \xE2\x82\xAC");
    f.results["QUORBIX.asc"] = "-----BEGIN PGP SIGNED MESSAGE-----\r\n\r\n\x84Gr\xFC\xDF" "e\x93 \x96 5 \x80\r\n";
    ASSERT_TRUE(f.bridge->hotkeyMessage(browser::kHotkeyEncrypt));
    ASSERT_EQ(f.runs.size(), 1u);
    EXPECT_EQ(f.inputs[0], "\x84Gr\xFC\xDF" "e\x93 \x96 5 \x80\r\n");
    EXPECT_EQ(f.clip.text(), "-----BEGIN PGP SIGNED MESSAGE-----\n\n\xE2\x80\x9EGr\xC3\xBC\xC3\x9F"
                             "e\xE2\x80\x9C \xE2\x80\x93 5 \xE2\x82\xAC");
    EXPECT_TRUE(f.dialogs.shown.empty());
}

TEST(BrowserBridge, RegisterHotkeyReportsEachRefusal)
{
    testsupport::RecordingDialogs dialogs;
    app::AppState st;
    st.dialogs = &dialogs;
    testsupport::FakeGlobalHotkeys hk;
    hk.heldByOthers.insert({platform::kModControl, '2'});
    app::HotkeyValue enc, dec, sig, odd;
    enc.fillFrom(std::string("\x31\x00\x04\x00", 4));
    dec.fillFrom(std::string("\x32\x00\x04\x00", 4));
    sig.fillFrom(std::string("\x33\x00\x05\x00", 4));
    odd.fillFrom(std::string("\x34\x00\x0C\x00", 4));
    browser::RegisterBrowserHotkey(st, hk, 100, enc);
    browser::RegisterBrowserHotkey(st, hk, 200, dec);
    browser::RegisterBrowserHotkey(st, hk, 300, sig);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "plain");
    EXPECT_EQ(dialogs.shown[0].text, "Konnte Hotkey nicht setzen !");
    EXPECT_EQ(hk.log, (std::vector<std::string>{"register 100 2 49", "refused 200 2 50", "register 300 6 51"}));
    browser::RegisterBrowserHotkey(st, hk, 400, odd); // modifier byte 8 and above: no modifiers
    EXPECT_EQ(hk.log.back(), "register 400 0 52");
    int got = 0;
    hk.onHotkey = [&](int id) { got = id; };
    EXPECT_TRUE(hk.press(platform::kModControl | platform::kModShift, '3'));
    EXPECT_EQ(got, 300);
}

TEST(BrowserBridge, TheClipboardIsReadOnlyOnceItCanBe)
{
    // The precondition (the keyboard focus on Wayland) brings the clipboard
    // up to date: what PGP gets is read after it.
    Flow f;
    f.clip.setText("alter Inhalt");
    f.results["QUORBIX.asc"] = kArmoured;
    f.readable = [&] {
        f.clip.setText("//0x12345678\nneuer Inhalt");
        return true;
    };
    f.bridge->hotkeyMessage(browser::kHotkeyEncrypt);
    ASSERT_EQ(f.runs.size(), 1u);
    EXPECT_EQ(f.inputs[0], "neuer Inhalt\r\n");

    // Refused: the flow ends before the editor or the clipboard is touched.
    Flow g;
    g.clip.setText("//0x12345678\nText");
    g.editor.setPlainText("was der Editor hatte");
    g.readable = [] { return false; };
    const int changes = g.clip.changes;
    EXPECT_TRUE(g.bridge->hotkeyMessage(browser::kHotkeyDecrypt));
    EXPECT_TRUE(g.runs.empty());
    EXPECT_FALSE(g.has("pass"));
    EXPECT_EQ(g.editorText(), "was der Editor hatte");
    EXPECT_EQ(g.clip.changes, changes);
    EXPECT_FALSE(g.tempLeft());
    EXPECT_FALSE(g.st.commandBusy);

    // The mail-window route copies the text itself and never asks.
    Flow m("MIE");
    bool asked = false;
    m.readable = [&] { return asked = true; };
    m.bridge->hotkeyMessage(browser::kHotkeyEncrypt);
    EXPECT_FALSE(asked);
}
