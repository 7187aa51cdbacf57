// The hotkey flows, in the order the mail program and PGP expect them.
#include "browser/BrowserBridge.h"

#include "app/AppState.h"
#include "crypt/CryptCore.h"
#include "crypt/EditorFiles.h"
#include "crypt/EditorText.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QUuid>

namespace browser {

unsigned registrationModifiers(std::uint8_t stored)
{
    if (stored == 0 || stored >= 8)
        return 0;
    unsigned m = 0;
    if (stored & 1)
        m |= platform::kModShift;
    if (stored & 2)
        m |= platform::kModAlt;
    if (stored & 4)
        m |= platform::kModControl;
    return m;
}

void RegisterBrowserHotkey(app::AppState &st, platform::GlobalHotkeys &hk, int id, const app::HotkeyValue &v)
{
    if (!hk.registerHotkey(id, registrationModifiers(v.modifiers()), v.keyCode()) && st.dialogs)
        st.dialogs->plainMessage(app::fixed::HotkeyFailed);
}

namespace {

// The flag that keeps flows and commands apart, dropped on every way out.
struct BusyScope {
    bool &own, &command;
    BusyScope(bool &o, bool &c) : own(o), command(c) { own = command = true; }
    ~BusyScope() { own = command = false; }
};

// Every editor line is written with its own line break, so a text that
// ends in one would gain an empty line.
QString clipboardLines(const std::string &utf8)
{
    QString t = QString::fromStdString(utf8);
    t.replace("\r\n", "\n");
    t.replace('\r', '\n');
    if (t.endsWith('\n'))
        t.chop(1);
    return t;
}

// Long enough for a person to let go of a hotkey.
constexpr int kKeysUpMs = 5000;

} // namespace

bool BrowserBridge::hotkeyMessage(int id)
{
    if (id != kHotkeyEncrypt && id != kHotkeyDecrypt && id != kHotkeySign)
        return false;
    if (busy_ || h_.st->commandBusy)
        return false; // one flow at a time, never across a running command
    BusyScope scope(busy_, h_.st->commandBusy);
    struct ClipboardBack {
        BrowserBridge &b;
        ~ClipboardBack() { b.giveClipboardBack(); }
    } back{*this};
    try {
        if (!opening(id))
            return true;
        if (id == kHotkeyEncrypt)
            encrypt();
        else if (id == kHotkeyDecrypt)
            decrypt();
        else
            sign();
    } catch (const platform::PlatformError &e) {
        if (h_.st->dialogs)
            h_.st->dialogs->platformError(e.what());
    }
    return true;
}

bool BrowserBridge::opening(int id)
{
    app::AppState &st = *h_.st;
    if (id == kHotkeyEncrypt)
        st.recipientArg.clear();
    returnWindow_ = h_.windows->foreground();
    textWindow_ = 0;
    if (h_.minimise)
        h_.minimise();
    if (st.browser == "MIE") {
        textWindow_ = id == kHotkeyDecrypt ? FindMailEditor() : FindComposeEditor();
        if (!textWindow_ || !copyMailText())
            return false;
    } else if (h_.clipboardReadable && !h_.clipboardReadable()) {
        return false;
    }
    h_.editor->clear();
    cryptcmd::setEditorText(h_.editor, clipboardLines(h_.clipboard->text()));
    return true;
}

bool BrowserBridge::copyMailText()
{
    // Key strokes sent while the hotkey is held would reach this program.
    h_.windows->waitUntilKeysReleased(kKeysUpMs);
    // A marker no mail holds: if it is still there after the copy, nothing was
    // copied, and what the clipboard held before must not be taken for the mail.
    userClipboard_ = h_.clipboard->text();
    const std::string marker = "Quorbix " + QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    h_.clipboard->setText(marker);
    h_.windows->selectAll(textWindow_);
    h_.windows->copy(textWindow_);
    if (h_.clipboard->text() != marker)
        return true;
    textWindow_ = 0;
    h_.st->dialogs->errorBox(h_.st->texts.msg(app::Msg::MailTextNotCopied));
    return false;
}

void BrowserBridge::giveClipboardBack()
{
    if (!userClipboard_)
        return;
    if (userClipboard_->empty())
        h_.clipboard->clear();
    else
        h_.clipboard->setText(*userClipboard_);
    userClipboard_.reset();
}

void BrowserBridge::deleteTemp(std::initializer_list<const char *> names)
{
    for (const char *n : names)
        h_.st->sys.fs->remove(h_.st->inTempDir(n));
}

bool BrowserBridge::saveEditor()
{
    const cryptcmd::Latin1Text t = cryptcmd::fileBytesFromEditor(cryptcmd::editorText(h_.editor));
    if (!t.ok) {
        // Nothing is written rather than a text with characters replaced.
        h_.st->dialogs->errorBox(cryptcmd::latin1RefusalText(t, h_.st->english()));
        return false;
    }
    h_.st->sys.fs->writePrivateFile(h_.st->inTempDir(cryptcmd::kTempInput), t.bytes);
    return true;
}

bool BrowserBridge::passPhraseMissing()
{
    if (h_.st->passPhrase.empty() && h_.askPassPhrase)
        h_.askPassPhrase();
    return h_.st->passPhrase.empty();
}

namespace {

pgp::RunRequest request(const app::AppState &st, const std::string &command, const std::string &recipients)
{
    pgp::RunRequest r;
    r.options = command + " +batchmode";
    r.operand1 = st.inTempDir(cryptcmd::kTempInput);
    r.operand1IsFile = true;
    r.operand2 = recipients;
    r.captureOutput = 1;
    r.windowMode = 0;
    return r;
}

} // namespace

void BrowserBridge::encrypt()
{
    app::AppState &st = *h_.st;
    st.recipientArg = cryptcmd::InlineRecipients(h_.editor);
    const std::string command = "-ea";
    deleteTemp({cryptcmd::kTempInput, cryptcmd::kTempArmoured, cryptcmd::kTempBinary});
    if (!saveEditor())
        return;
    if (st.recipientArg.empty() && h_.chooseRecipient)
        h_.chooseRecipient();
    if (!st.recipientArg.empty()) {
        const pgp::RunOutcome run = h_.runPgp(request(st, command, st.recipientArg));
        if (!cryptcmd::loadRunResult(st, h_.editor, run, st.inTempDir(cryptcmd::kTempArmoured))) {
            h_.showOutputViewer();
            deleteTemp({cryptcmd::kTempInput});
            return;
        }
    }
    deleteTemp({cryptcmd::kTempInput, cryptcmd::kTempArmoured, cryptcmd::kTempBinary});
    putBack();
}

void BrowserBridge::putBack()
{
    h_.clipboard->clear();
    // Select all and cut: the editor is left empty, its text on the clipboard.
    const std::string text = cryptcmd::editorText(h_.editor).toStdString();
    h_.editor->clear();
    if (!text.empty())
        h_.clipboard->setText(text);
    // Only this run's own result goes into the mail, and only while the
    // clipboard still holds it. Its text is still selected from the opening.
    if (h_.st->browser == "MIE" && textWindow_ && !text.empty() && h_.clipboard->text() == text &&
        !h_.windows->paste(textWindow_))
        userClipboard_.reset(); // the window may still ask for it: leave it there
    ShowReadyNotice();
    h_.windows->setForeground(returnWindow_);
}

void BrowserBridge::decrypt()
{
    app::AppState &st = *h_.st;
    // QUORBIX too: a result left behind by an interrupted run is never taken
    // for this run's.
    deleteTemp({cryptcmd::kTempInput, cryptcmd::kTempArmoured, cryptcmd::kTempBinary, cryptcmd::kTempDecrypted});
    if (passPhraseMissing()) {
        h_.editor->clear();
        return;
    }
    if (!saveEditor())
        return;
    const pgp::RunOutcome run = h_.runPgp(request(st, "", ""));
    if (!cryptcmd::loadRunResult(st, h_.editor, run, st.inTempDir(cryptcmd::kTempDecrypted))) {
        h_.showOutputViewer();
        deleteTemp({cryptcmd::kTempInput});
        h_.windows->setForeground(returnWindow_);
        return;
    }
    deleteTemp({cryptcmd::kTempDecrypted, cryptcmd::kTempInput, cryptcmd::kTempArmoured, cryptcmd::kTempBinary});
    h_.showOutputViewer();
    // The plain text is meant to stay on the clipboard.
    userClipboard_.reset();
    h_.clipboard->clear();
    const QString text = cryptcmd::editorText(h_.editor);
    if (!text.isEmpty())
        h_.clipboard->setText(text.toStdString());
    QTextCursor c = h_.editor->textCursor();
    c.setPosition(0);
    h_.editor->setTextCursor(c);
    if (h_.restore)
        h_.restore();
    if (h_.frontToOutputViewer)
        h_.frontToOutputViewer();
}

void BrowserBridge::sign()
{
    app::AppState &st = *h_.st;
    deleteTemp({cryptcmd::kTempInput, cryptcmd::kTempArmoured});
    if (passPhraseMissing()) {
        h_.editor->clear();
        h_.windows->setForeground(returnWindow_);
        return;
    }
    if (!saveEditor())
        return;
    const pgp::RunOutcome run = h_.runPgp(request(st, "-sat", ""));
    if (!cryptcmd::loadRunResult(st, h_.editor, run, st.inTempDir(cryptcmd::kTempArmoured))) {
        h_.showOutputViewer();
        deleteTemp({cryptcmd::kTempInput});
        return;
    }
    deleteTemp({cryptcmd::kTempInput, cryptcmd::kTempArmoured});
    putBack();
}

platform::WindowHandle BrowserBridge::FindComposeEditor()
{
    const platform::WindowHandle body = h_.windows->findChild(h_.windows->foreground(), "ATH_Body");
    if (body)
        return h_.windows->findChild(body, "HTMLEDIT");
    // The application stays minimised; the message box shows on its own.
    h_.st->dialogs->informationWithHelp(h_.st->texts.msg(app::Msg::BrowserNotFound), h_.st->helpFile,
                                        app::helpctx::BrowserNotFound);
    return 0;
}

platform::WindowHandle BrowserBridge::FindMailEditor()
{
    const platform::WindowHandle body = h_.windows->findChild(h_.windows->foreground(), "ATH_Body");
    if (body)
        return h_.windows->findChild(body, "HTMLEDIT");
    const platform::WindowHandle viewer = h_.windows->findChild(h_.windows->foreground(), "MailViewer");
    if (viewer) {
        const platform::WindowHandle b = h_.windows->findChild(viewer, "ATH_Body");
        return b ? h_.windows->findChild(b, "HTMLEDIT") : 0;
    }
    h_.st->dialogs->informationWithHelp(h_.st->texts.msg(app::Msg::BrowserNotFound), h_.st->helpFile,
                                        app::helpctx::BrowserNotFound);
    return 0;
}

void BrowserBridge::ShowReadyNotice()
{
    if (h_.st->browser != "Clipboard")
        return;
    if (h_.readyNotice)
        h_.readyNotice();
}

} // namespace browser
