// The settings dialog.
#include "settings/TForm7.h"

#include "app/AppState.h"
#include "app/TextCatalog.h"
#include "browser/BrowserBridge.h"
#include "pgp/LaunchFile.h"
#include "settings/HotkeyRules.h"
#include "ui/ApplyTexts.h"
#include "ui/ContextHelp.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QWhatsThis>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

// ---- hot-key field ------------------------------------------------------------

THotKey::THotKey(bool english, QWidget *parent) : QLineEdit(parent), english_(english)
{
    setReadOnly(true); // the text shows the combination; typing sets it
    setContextMenuPolicy(Qt::NoContextMenu);
}

void THotKey::setValue(std::uint16_t s)
{
    value_ = s;
    setText(QString::fromStdString(settings::shortcutText(s, english_)));
}

void THotKey::keyPressEvent(QKeyEvent *e)
{
    const Qt::KeyboardModifiers m = e->modifiers();
    const bool shift = m & Qt::ShiftModifier, ctrl = m & Qt::ControlModifier, alt = m & Qt::AltModifier;
    switch (e->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return; // a modifier alone is no combination yet
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (!ctrl && !alt) {
            e->ignore();
            return;
        }
        break;
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        if (!shift && !ctrl && !alt) {
            setValue(0);
            return;
        }
        break;
    default:
        break;
    }
    const std::uint16_t vk = settings::virtualKeyForQtKey(e->key(), m & Qt::KeypadModifier);
    if (!vk)
        return;
    setValue(settings::shortcutForKeyPress(vk, shift, ctrl, alt));
}

// ---- dialog ----------------------------------------------------------------

namespace {

QString u8(const std::string &s) { return QString::fromStdString(s); }

template <class T> T *named(T *w, const char *name)
{
    w->setObjectName(name);
    return w;
}

} // namespace

TForm7::TForm7(app::AppState &st, SettingsHooks hooks, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint),
      st_(st), hooks_(std::move(hooks))
{
    setObjectName("Form7");
    const bool english = app::settingsDialogEnglish(st_.language);
    buildControls(english);
    // English unless the language is exactly "Deutsch".
    ui::applyControlTexts(this, app::germanTexts(app::Window::Settings));
    if (english) {
        ui::applyControlTexts(this, app::englishTexts(app::Window::Settings));
        rbEnglish->setChecked(true);
    } else {
        rbGerman->setChecked(true);
    }
    // Fields take their labels' names for assistive technology.
    auto label = [](QLabel *l) { return l->text().remove('&').remove(QRegularExpression(" *:$")).trimmed(); };
    edPGPPath->setAccessibleName(label(Label2));
    edKsavePath->setAccessibleName(label(Label3));
    edKLoadPath->setAccessibleName(label(Label4));
    edConfTXT->setAccessibleName(label(Label5));
    hkEncrypt->setAccessibleName(label(Label1));
    hkDecrypt->setAccessibleName(label(Label6));
    hkSign->setAccessibleName(label(Label7));
    for (QPushButton *b : {buPGPPath, buKSavePath, buKLoadPath})
        b->setAccessibleName(english ? "Choose directory" : "Verzeichnis wählen");
    fillControls();
    fillFilesPage(english);

    new ui::ContextHelp(this, st_.sys.help, [this] { return st_.helpFile; },
                        app::helpContexts(app::Window::Settings));
    // No X11 or Wayland window manager draws the caption bar's help button
    // (there is no hint for it): the same "?" stands at the page control's
    // corner, and Shift+F1 enters the mode from the keyboard.
    auto *whatsThis = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1), this);
    connect(whatsThis, &QShortcut::activated, this, [] { QWhatsThis::enterWhatsThisMode(); });
    buContextHelp = named(new QToolButton(PageControl1), "buContextHelp");
    buContextHelp->setText("?");
    buContextHelp->setAutoRaise(true);
    buContextHelp->setFocusPolicy(Qt::NoFocus);
    const QString whatsThisName = QCoreApplication::translate("QWhatsThis", "What's This?");
    buContextHelp->setToolTip(whatsThisName);
    buContextHelp->setAccessibleName(whatsThisName);
    PageControl1->setCornerWidget(buContextHelp, Qt::TopRightCorner);
    connect(buContextHelp, &QToolButton::clicked, this, [] { QWhatsThis::enterWhatsThisMode(); });

    setFixedSize(QSize(360, 329).expandedTo(minimumSizeHint()));
    if (QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

void TForm7::buildControls(bool english)
{
    auto *top = new QVBoxLayout(this);
    PageControl1 = named(new QTabWidget(this), "PageControl1");
    top->addWidget(PageControl1);

    // Page "Setup".
    TabSheet1 = named(new QWidget, "TabSheet1");
    PageControl1->addTab(TabSheet1, "Setup");
    auto *s = new QVBoxLayout(TabSheet1);
    s->setSpacing(2);
    auto pathRow = [&](QLabel *&lab, const char *labName, QLineEdit *&ed, const char *edName, QPushButton *&bu,
                       const char *buName) {
        lab = named(new QLabel(TabSheet1), labName);
        ed = named(new QLineEdit(TabSheet1), edName);
        bu = named(new QPushButton("...", TabSheet1), buName);
        bu->setFocusPolicy(Qt::ClickFocus); // not a tab stop
        bu->setFixedWidth(24);
        lab->setBuddy(ed);
        auto *row = new QHBoxLayout;
        row->addWidget(ed);
        row->addWidget(bu);
        s->addWidget(lab);
        s->addLayout(row);
        connect(bu, &QPushButton::clicked, this, [this, ed] { chooseFolderFor(ed); });
    };
    pathRow(Label2, "Label2", edPGPPath, "edPGPPath", buPGPPath, "buPGPPath");
    pathRow(Label3, "Label3", edKsavePath, "edKsavePath", buKSavePath, "buKSavePath");
    pathRow(Label4, "Label4", edKLoadPath, "edKLoadPath", buKLoadPath, "buKLoadPath");
    Label5 = named(new QLabel(TabSheet1), "Label5");
    edConfTXT = named(new QLineEdit(TabSheet1), "edConfTXT");
    Label5->setBuddy(edConfTXT);
    s->addWidget(Label5);
    s->addWidget(edConfTXT);
    auto *bottom = new QHBoxLayout;
    GroupBox2 = named(new QGroupBox(TabSheet1), "GroupBox2");
    auto *lang = new QVBoxLayout(GroupBox2);
    rbGerman = named(new QRadioButton(GroupBox2), "rbGerman");
    rbEnglish = named(new QRadioButton(GroupBox2), "rbEnglish");
    lang->addWidget(rbGerman);
    lang->addWidget(rbEnglish);
    GroupBox1 = named(new QGroupBox(TabSheet1), "GroupBox1");
    auto *types = new QVBoxLayout(GroupBox1);
    Button1 = named(new QPushButton(GroupBox1), "Button1");
    Button2 = named(new QPushButton(GroupBox1), "Button2");
    types->addWidget(Button1);
    types->addWidget(Button2);
    bottom->addWidget(GroupBox2);
    bottom->addWidget(GroupBox1, 1);
    s->addSpacing(6);
    s->addLayout(bottom);
    s->addStretch();
    connect(Button1, &QPushButton::clicked, this, &TForm7::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm7::Button2Click);

    // Page "Browser".
    TabSheet2 = named(new QWidget, "TabSheet2");
    PageControl1->addTab(TabSheet2, "Browser");
    auto *b = new QVBoxLayout(TabSheet2);
    auto *groups = new QHBoxLayout;
    GroupBox6 = named(new QGroupBox(TabSheet2), "GroupBox6");
    auto *src = new QVBoxLayout(GroupBox6);
    rbMIE = named(new QRadioButton(GroupBox6), "rbMIE");
    rbClip = named(new QRadioButton(GroupBox6), "rbClip");
    src->addWidget(rbMIE);
    src->addWidget(rbClip);
    connect(rbMIE, &QRadioButton::clicked, this, [this] {
        if (hooks_.mailRouteUnavailable && hooks_.mailRouteUnavailable())
            st_.dialogs->information(
                st_.english()
                    ? "On this desktop (Wayland) the mail-window route does not work: no program may reach "
                      "another program's windows or send it keys. The hotkeys work with \"Manuel\": copy "
                      "the text to the clipboard first."
                    : "Auf dieser Arbeitsoberfläche (Wayland) geht der Weg über das Mailfenster nicht: kein "
                      "Programm darf die Fenster eines anderen erreichen oder ihm Tasten schicken. Die Hotkeys "
                      "arbeiten mit \"Manuell\": den Text vorher in die Zwischenablage kopieren.");
    });
    GroupBox7 = named(new QGroupBox(TabSheet2), "GroupBox7");
    auto *opt = new QVBoxLayout(GroupBox7);
    cbCryptAll = named(new QCheckBox(GroupBox7), "cbCryptAll");
    cbFastUser = named(new QCheckBox(GroupBox7), "cbFastUser");
    for (QCheckBox *c : {cbCryptAll, cbFastUser}) {
        c->setChecked(false);
        c->setEnabled(false); // shown, but they carry no setting
        opt->addWidget(c);
    }
    groups->addWidget(GroupBox6);
    groups->addWidget(GroupBox7);
    b->addLayout(groups);
    auto *keys = new QGridLayout;
    auto keyRow = [&](int row, QLabel *&lab, const char *labName, THotKey *&hk, const char *hkName) {
        lab = named(new QLabel(TabSheet2), labName);
        hk = named(new THotKey(english, TabSheet2), hkName);
        lab->setBuddy(hk);
        keys->addWidget(lab, row, 0);
        keys->addWidget(hk, row, 1);
    };
    keyRow(0, Label1, "Label1", hkEncrypt, "hkEncrypt");
    keyRow(1, Label6, "Label6", hkDecrypt, "hkDecrypt");
    keyRow(2, Label7, "Label7", hkSign, "hkSign");
    b->addLayout(keys);
    b->addStretch();

    TabSheet3 = named(new QWidget, "TabSheet3");
    PageControl1->addTab(TabSheet3, english ? "Files" : "Dateien");
    auto *f = new QVBoxLayout(TabSheet3);
    Label8 = named(new QLabel(english ? "Where Quorbix keeps its files:" : "Hier liegen die Dateien von Quorbix:",
                              TabSheet3),
                   "Label8");
    meFiles = named(new QPlainTextEdit(TabSheet3), "meFiles");
    meFiles->setReadOnly(true);
    meFiles->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    meFiles->setAccessibleName(Label8->text().remove(QRegularExpression(" *:$")));
    Label8->setBuddy(meFiles);
    f->addWidget(Label8);
    f->addWidget(meFiles, 1);

    auto *buttons = new QHBoxLayout;
    BitBtn1 = named(new QPushButton(this), "BitBtn1");
    BitBtn2 = named(new QPushButton(this), "BitBtn2");
    BitBtn1->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    top->addLayout(buttons);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm7::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm7::BitBtn2Click);
}

void TForm7::fillControls()
{
    edPGPPath->setText(u8(st_.pgpDir));
    edKLoadPath->setText(u8(st_.kLoadPath));
    edKsavePath->setText(u8(st_.kSavePath));
    edConfTXT->setText(QString::fromLatin1(st_.configText.data(), qsizetype(st_.configText.size())));
    if (st_.browser == "MIE")
        rbMIE->setChecked(true);
    else
        rbClip->setChecked(true);
    hkEncrypt->setValue(settings::shortcutFromHotkey(st_.scEncrypt));
    hkDecrypt->setValue(settings::shortcutFromHotkey(st_.scDecrypt));
    hkSign->setValue(settings::shortcutFromHotkey(st_.scSign));
}

void TForm7::fillFilesPage(bool english)
{
    const std::string pif = st_.pgpDir.empty() || !st_.sys.fs ? std::string() : pgp::launchFilePath(st_);
    const std::string rows[][2] = {
        {english ? "Program files (help pages, MakeID.pif)" : "Programmdateien (Hilfeseiten, MakeID.pif)",
         st_.dataFolder()},
        {english ? "Button files (Buttons.qxd, Buttons.qxe) and Debug.log"
                 : "Button-Dateien (Buttons.qxd, Buttons.qxe) und Debug.log",
         st_.userFolder()},
        {english ? "Working files (out.txt, Tree.txt, ID.txt, MakeID.bat), removed at the end"
                 : "Arbeitsdateien (out.txt, Tree.txt, ID.txt, MakeID.bat), am Ende gelöscht",
         st_.appDir},
        {english ? "Temporary files (QUORBIX.tmp, .asc, .pgp)" : "Temporäre Dateien (QUORBIX.tmp, .asc, .pgp)",
         st_.tempDir},
        {english ? "Launch file of PGP's console window" : "Startdatei des PGP-Konsolenfensters", pif},
    };
    QString text;
    for (const auto &r : rows)
        text += u8(r[0]) + ":\n    " + QString::fromLocal8Bit(r[1].c_str()) + "\n";
    meFiles->setPlainText(text);
}

bool TForm7::pgpFound(const platform::FileSystem &fs, const QString &dir)
{
    const std::string path = (dir + "/pgp").toStdString();
    if (!fs.exists(path) || fs.isDirectory(path))
        return false;
    // A pgp on this disk must also be runnable.
    const QFileInfo fi(QString::fromStdString(path));
    return !fi.exists() || fi.isExecutable();
}

void TForm7::chooseFolderFor(QLineEdit *field)
{
    if (hooks_.chooseFolder)
        if (auto path = hooks_.chooseFolder())
            field->setText(u8(*path));
    raise();
    activateWindow();
}

void TForm7::BitBtn1Click()
{
    // A folder without pgp is refused and the dialog stays open; the other
    // values are taken all the same, so nothing typed is lost.
    bool keepOpen = false;
    if (!pgpFound(*st_.sys.fs, edPGPPath->text())) {
        if (hooks_.beep)
            hooks_.beep();
        st_.dialogs->information(st_.texts.msg(app::Msg::PgpNotFound));
        keepOpen = true;
        edPGPPath->setText(u8(st_.pgpDir));
    }
    // Taken as typed; the shared file dialogs start in the new key folders.
    st_.pgpDir = edPGPPath->text().toStdString();
    st_.kSavePath = edKsavePath->text().toStdString();
    st_.kLoadPath = edKLoadPath->text().toStdString();
    if (hooks_.setDialogFolders)
        hooks_.setDialogFolders(st_.kSavePath, st_.kLoadPath);
    const QString conf = edConfTXT->text();
    const QByteArray confBytes = conf.toLatin1();
    if (QString::fromLatin1(confBytes) == conf) {
        st_.configText = confBytes.toStdString();
    } else {
        // The parameters go on PGP's Latin-1 command line; keep the old ones
        // rather than pass question marks.
        st_.dialogs->errorBox(st_.english() ? "The additional parameters hold characters outside Latin-1; "
                                              "the previous parameters are kept."
                                            : "Die ergänzenden Parameter enthalten Zeichen außerhalb von "
                                              "Latin-1; die bisherigen Parameter bleiben.");
        edConfTXT->setText(QString::fromLatin1(st_.configText.data(), qsizetype(st_.configText.size())));
        keepOpen = true;
    }
    if (rbMIE->isChecked())
        st_.browser = "MIE";
    else if (rbClip->isChecked())
        st_.browser = "Clipboard";
    // Key and modifiers come from the fields; the rest of each stored value stays.
    st_.scEncrypt = settings::hotkeyFromShortcut(hkEncrypt->value(), st_.scEncrypt);
    st_.scDecrypt = settings::hotkeyFromShortcut(hkDecrypt->value(), st_.scDecrypt);
    st_.scSign = settings::hotkeyFromShortcut(hkSign->value(), st_.scSign);
    // German texts need a restart: the windows were built in the language
    // they started with.
    const app::LanguageSwitch sw = app::switchLanguage(st_.language, rbGerman->isChecked());
    if (sw.showRestartNotice)
        st_.dialogs->information(app::fixed::RestartForGerman);
    st_.language = sw.language;
    if (hooks_.applyTexts)
        hooks_.applyTexts();
    if (hooks_.reapplyDialogTexts)
        hooks_.reapplyDialogTexts();
    // The hotkeys as they now stand: all three go, those with a field that
    // holds one come back.
    if (hooks_.unregisterHotkeys)
        hooks_.unregisterHotkeys();
    if (hooks_.registerHotkey) {
        if (hkEncrypt->value())
            hooks_.registerHotkey(browser::kHotkeyEncrypt, st_.scEncrypt);
        if (hkDecrypt->value())
            hooks_.registerHotkey(browser::kHotkeyDecrypt, st_.scDecrypt);
        if (hkSign->value())
            hooks_.registerHotkey(browser::kHotkeySign, st_.scSign);
    }
    if (!keepOpen)
        accept();
}

void TForm7::BitBtn2Click()
{
    if (st_.sys.help)
        st_.sys.help->showContext(st_.helpFile, app::helpctx::SettingsHelp);
}

void TForm7::Button1Click()
{
    if (hooks_.registerFileTypes)
        hooks_.registerFileTypes();
}

void TForm7::Button2Click()
{
    if (hooks_.unregisterFileTypes)
        hooks_.unregisterFileTypes();
}
