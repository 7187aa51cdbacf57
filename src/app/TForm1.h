#pragma once
// The main window: command buttons, action buttons, option boxes, the editor
// and key-tree pages, status bar, menus; start-up and shutdown of the program.

#include "app/AppState.h"
#include "app/FileDialogs.h"
#include "app/SettingsStore.h"

#include <QMainWindow>
#include <array>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TfrmMantra;
class TFormButtSetup;
class TfrmReadPGP;

// Arguments the program was started with, split as the shell split them.
struct CommandLineArgs {
    std::vector<std::string> args; // without the program name
    int count() const { return int(args.size()); }
    std::string arg(int i) const { return i < count() ? args[i] : std::string(); }
};

class TForm1 : public QMainWindow {
    // No Q_OBJECT: handlers are connected through member pointers and lambdas.
public:
    // Runs the start-up sequence before returning; the caller shows the window.
    TForm1(app::AppState &state, CommandLineArgs cmdLine, QWidget *parent = nullptr);
    ~TForm1() override; // runs the shutdown

    app::AppState &state() { return st_; }

    // Controls, named as the rest of the program and the tests know them.
    QWidget *Panel1 = nullptr;  // top panel
    std::array<QPushButton *, 17> bu{}; // bu1 .. bu17 (index 0 is bu1)
    QToolButton *buEncrypt = nullptr, *buDecrypt = nullptr, *buSign = nullptr, *buReadTree = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QCheckBox *CheckBox1 = nullptr, *CheckBox2 = nullptr, *CheckBox3 = nullptr;
    QStackedWidget *Notebook1 = nullptr;
    QWidget *TabRichEdit = nullptr, *TabTreeView = nullptr;
    QPlainTextEdit *RichEdit1 = nullptr;
    QTreeWidget *TreeView1 = nullptr;
    QWidget *Panel2 = nullptr;  // user-button panel
    QStatusBar *StatusBar1 = nullptr;
    QLabel *StatusPanel0 = nullptr, *StatusPanel1 = nullptr;

    QMenu *Projekt1 = nullptr, *Bearbeiten1 = nullptr, *UserButtons1 = nullptr, *Hilfe1 = nullptr;
    QAction *muSetup = nullptr, *muMantra = nullptr, *muDelMantra = nullptr, *muQuit = nullptr;
    QAction *muCut = nullptr, *muCopy = nullptr, *muPaste = nullptr;
    QAction *muHideUb = nullptr, *muHelp = nullptr, *muInfo = nullptr;

    QMenu *PopupMenu1 = nullptr, *Datei1 = nullptr; // editor context menu
    QAction *Neu1 = nullptr, *pmuOpen = nullptr, *PmuSave = nullptr, *PmuSaveAs = nullptr, *Drucken1 = nullptr;
    QAction *PmuCut = nullptr, *PmuCopy = nullptr, *PmuPaste = nullptr, *PmuClear = nullptr;
    QAction *PmuMarkAll = nullptr, *pmuFont = nullptr, *pmuZBruch = nullptr;
    QAction *pmuAdd = nullptr, *PmuEncrypt = nullptr, *PmuDecrypt = nullptr, *PmuSig = nullptr;
    QAction *pmuTreeView = nullptr;

    QMenu *PopupMenu2 = nullptr; // tree context menu
    QAction *Fingerprintzeigen1 = nullptr, *ASCIIKeyspeichern1 = nullptr, *Keyspeichern1 = nullptr;
    QAction *Keylschen1 = nullptr, *Neueinlesen1 = nullptr, *Allesffnen1 = nullptr;
    QAction *Allesschlieen1 = nullptr, *UmschaltenzumEditor = nullptr;

    app::FileDialog OpenDialog1{app::FileDialog::Mode::Open};
    app::FileDialog SaveDialog1{app::FileDialog::Mode::Save};
    QString DirDialogTitle;

    // Handlers and operations.
    void muQuitClick();
    void muHelpClick();
    void muHideUbClick();
    bool FormCloseQuery(); // false keeps the window open
    void ApplyTexts();
    void LoadButtonTable();
    void RelabelButtons();
    // Replaces the editor text by a Latin-1 file's content; throws PlatformError.
    void loadEditorFromFile(const std::string &path);

    // ---- handlers built by the subsystems; each subsystem defines its own in
    // its folder and connects them in its connect...() function, called once
    // from the constructor.

    // Pass phrase (src/app/PassPhrase.cpp)
    TfrmMantra *frmMantra = nullptr;  // created at start-up step 20
    void muMantraClick();
    void muDelMantraClick();
    // Abandons the command (returns false) when no pass phrase can be had.
    bool ensurePassPhrase();
    void createPassPhraseDialog();

    // Command buttons (src/buttons/ButtonDispatch.cpp)
    TFormButtSetup *FormButtSetup = nullptr; // created by main() after the window
    void bu1MouseUp(QPushButton *sender, Qt::MouseButton button);
    void RunButton(int n);
    void connectButtonCommands();

    // Key tree, chooser and tree key commands (src/keys/KeyCommands.cpp)
    void buReadTreeClick();
    void ReadKeyTree();
    void pmuTreeViewClick();
    void UmschaltenzumEditorClick();
    void Allesffnen1Click();
    void Allesschlieen1Click();
    void Fingerprintzeigen1Click();
    void ASCIIKeyspeichern1Click();
    void Keyspeichern1Click();
    void Keylschen1Click();
    void ChooseRecipient();
    void connectKeyCommands();

    // Output viewer shown last (src/pgp/TfrmReadPGP.cpp)
    TfrmReadPGP *lastViewer = nullptr;
    void showOutputViewer();

    // File and editor text commands (src/crypt/)
    void buEncryptClick();
    void buDecryptClick();
    void buSignClick();
    void pmuAddClick();
    void PmuEncryptClick();
    void PmuDecryptClick();
    void PmuSigClick();
    void connectCryptCommands();

    // Editor document commands (src/crypt/DocumentCommands.cpp)
    void connectDocumentCommands();

    // Command line, debug report, about box (src/app/CommandLine.cpp, src/diag/)
    // Returns false when a load failed (later start-up steps are then left out).
    bool GetCommandLine(const std::string &first, const std::string &second, int count);
    void connectDiagCommands();

    // Settings dialog, hotkeys, file types (src/settings/, src/browser/)
    void showSettingsDialog();      // start-up step 19 and "&Einstellungen..."
    void RegisterBrowserHotkeys();  // start-up step 22 and after the settings dialog
    void connectDesktopCommands();

    // Client size the window is created with, and the minimum outer size.
    static constexpr int kClientWidth = 671, kClientHeight = 453;
    static constexpr int kMinOuterWidth = 512, kMinOuterHeight = 223;

    // Whether the shutdown has run (it runs once, from the destructor or from
    // a quit request that arrives while PGP runs).
    bool shutDown() const { return shutDown_; }
    void FormDestroy();
    // The settings as they stand in the controls and process-wide values.
    app::SettingsValues currentSettings() const;

protected:
    bool event(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void buildControls();
    void buildMenus();
    void FormCreate();
    void loadSettings();
    void saveSettings();
    void applyEditorFont();
    void applyMinimumSize();
    void applyDialogTitles(const std::vector<app::ControlText> &texts);
    std::string chooseLanguage();
    void installQtTranslation();
    QAction *addAction(QMenu *menu, QAction *&member, const char *name, const QKeySequence &key = {});

    app::AppState &st_;
    CommandLineArgs cmdLine_;
    bool shutDown_ = false;
    bool quitting_ = false;
    QRect pendingOuterBounds_; // stored bounds, corrected for the frame once shown
    bool boundsPending_ = false;
};
