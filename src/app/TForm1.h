#pragma once
// The main window: command buttons, action buttons, option boxes, the editor
// and key-tree pages, status bar, menus; start-up and shutdown of the program.
// What its controls do lives in the commands (src/commands/), bound to the
// controls in one table in bindCommands().

#include "app/AppState.h"
#include "app/MainWindowControls.h"
#include "app/SettingsStore.h"
#include "commands/CommandHost.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TfrmMantra;
class TFormButtSetup;
class TfrmReadPGP;

namespace commands {
class Command;
struct CommandSet;
} // namespace commands

// Arguments the program was started with, split as the shell split them.
struct CommandLineArgs {
    std::vector<std::string> args; // without the program name
    int count() const { return int(args.size()); }
    std::string arg(int i) const { return i < count() ? args[i] : std::string(); }
};

class TForm1 : public QMainWindow, public MainWindowControls, public commands::CommandHost {
    // No Q_OBJECT: handlers are connected through member pointers and lambdas.
public:
    // Runs the start-up sequence before returning; the caller shows the window.
    TForm1(app::AppState &state, CommandLineArgs cmdLine, QWidget *parent = nullptr);
    ~TForm1() override; // runs the shutdown

    app::AppState &state() override { return st_; }

    // The handlers, named as the rest of the program and the tests know them.
    void muQuitClick();
    void muHelpClick();
    void muHideUbClick();
    void muMantraClick();
    void muDelMantraClick();
    void bu1MouseUp(QPushButton *sender, Qt::MouseButton button);
    void buEncryptClick();
    void buDecryptClick();
    void buSignClick();
    void buReadTreeClick();
    void pmuAddClick();
    void PmuEncryptClick();
    void PmuDecryptClick();
    void PmuSigClick();
    void pmuTreeViewClick();
    void UmschaltenzumEditorClick();
    void Allesffnen1Click();
    void Allesschlieen1Click();
    void Fingerprintzeigen1Click();
    void ASCIIKeyspeichern1Click();
    void Keyspeichern1Click();
    void Keylschen1Click();
    void ChooseRecipient() { chooseRecipient(); }
    void showSettingsDialog(); // first start and "&Einstellungen..."
    void RegisterBrowserHotkeys();

    bool FormCloseQuery(); // false keeps the window open
    void ApplyTexts();
    void LoadButtonTable();
    void RelabelButtons();
    // A file named on the command line is loaded and acted on. Returns false
    // when that load failed: the command it named did not run. The start-up
    // goes on either way.
    bool GetCommandLine(const std::string &first, const std::string &second, int count);
    // Whether a hotkey flow of this window is under way.
    bool hotkeyFlowRunning() const;

    // Dialogs created once and kept: the pass phrase dialog at start-up, before
    // the command line may ask for it; the button setup by main() or on the
    // first right click.
    TfrmMantra *frmMantra = nullptr;
    TFormButtSetup *FormButtSetup = nullptr;
    TFormButtSetup &buttonSetup();
    TfrmReadPGP *lastViewer = nullptr; // the output viewer shown last

    // Client size the window is created with, and the minimum outer size.
    static constexpr int kClientWidth = 671, kClientHeight = 453;
    static constexpr int kMinOuterWidth = 512, kMinOuterHeight = 223;

    // Whether the shutdown has run (it runs once, from the destructor or from
    // a quit request that arrives while PGP runs).
    bool shutDown() const { return shutDown_; }
    void FormDestroy();
    // The settings as they stand in the controls and process-wide values.
    app::SettingsValues currentSettings() const;

    // What the commands use of the window.
    QWidget *dialogParent() override { return this; }
    QPlainTextEdit &editor() override { return *RichEdit1; }
    QTreeWidget &keyTree() override { return *TreeView1; }
    commands::OptionBoxes optionBoxes() const override;
    app::FileDialog &openDialog() override { return OpenDialog1; }
    app::FileDialog &saveDialog() override { return SaveDialog1; }
    QString folderDialogTitle() const override { return DirDialogTitle; }
    QAction &wordWrapEntry() override { return *pmuZBruch; }
    QString hintLine() const override;
    void setHintLine(const QString &text) override;
    void setStatusText(const QString &text) override;
    void showPage(Page page) override;
    void setCaption(const QString &caption) override { setWindowTitle(caption); }
    void setWindowEnabled(bool enabled) override { setEnabled(enabled); }
    void chooseRecipient() override;
    void askPassPhrase() override;
    void forgetPassPhrase() override;
    bool ensurePassPhrase() override;
    void showOutputViewer() override;
    void openButtonSetup(int buttonNumber) override;
    void showDebugReport() override;
    std::unique_ptr<commands::TreeReadProgress> showTreeReadProgress() override;
    void runSettingsDialog(SettingsHooks hooks) override;
    void applyTexts() override { ApplyTexts(); }
    void reapplyDialogTexts() override;
    void bringToFront() override;
    void bringOutputViewerToFront() override;
    void minimise() override;
    void restoreFromMinimised() override;
    void showReadyNotice() override;

protected:
    bool event(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    void bindCommands();
    void run(commands::Command &cmd);
    void FormCreate();
    void createPassPhraseDialog();
    void loadSettings();
    void saveSettings();
    void applyDialogTitles(const std::vector<app::ControlText> &texts);
    void installQtTranslation();

    app::AppState &st_;
    CommandLineArgs cmdLine_;
    std::unique_ptr<commands::CommandSet> cmds_;
    bool shutDown_ = false;
    bool quitting_ = false;
    std::optional<QRect> pendingOuterBounds_; // stored bounds, corrected for the frame once shown
};
