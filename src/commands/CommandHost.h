#pragma once
// What a command needs of the main window. The window implements it; tests
// hand in a fake, so that a command runs without the window and its start-up.

#include <QString>
#include <memory>
#include <string>

class QAction;
class QPlainTextEdit;
class QTreeWidget;
class QWidget;
struct SettingsHooks;

namespace app {
struct AppState;
class FileDialog;
} // namespace app

namespace commands {

// The three option boxes of the main window.
struct OptionBoxes {
    bool breakSig = false; // CheckBox1
    bool armour = true;    // CheckBox2
    bool textMode = false; // CheckBox3
};

// The wait dialog of a key tree read, as the reader feeds it.
class TreeReadProgress {
public:
    virtual ~TreeReadProgress() = default;
    virtual void show(int keyCount, int barPosition) = 0;
    virtual void clearCount() = 0;
};

class CommandHost {
public:
    virtual ~CommandHost() = default;

    virtual app::AppState &state() = 0;
    // Parent of the modal dialogs a command opens.
    virtual QWidget *dialogParent() = 0;
    virtual QPlainTextEdit &editor() = 0;
    virtual QTreeWidget &keyTree() = 0;
    virtual OptionBoxes optionBoxes() const = 0;
    // The shared dialogs keep their file name between commands on purpose:
    // one command proposes a name the next one opens.
    virtual app::FileDialog &openDialog() = 0;
    virtual app::FileDialog &saveDialog() = 0;
    virtual QString folderDialogTitle() const = 0;
    virtual QAction &wordWrapEntry() = 0;

    // Status bar: the hint line (panel 0) and the command panel (panel 1).
    virtual QString hintLine() const = 0;
    virtual void setHintLine(const QString &text) = 0;
    virtual void setStatusText(const QString &text) = 0;

    enum class Page { Editor, KeyTree };
    virtual void showPage(Page page) = 0;
    virtual void setCaption(const QString &caption) = 0;
    virtual void setWindowEnabled(bool enabled) = 0;

    // Leaves the chosen key in AppState::recipientArg (empty: none chosen).
    virtual void chooseRecipient() = 0;
    // The pass phrase dialog, modal.
    virtual void askPassPhrase() = 0;
    virtual void forgetPassPhrase() = 0;
    // False abandons the command: no pass phrase could be had.
    virtual bool ensurePassPhrase() = 0;
    // A new output viewer on out.txt.
    virtual void showOutputViewer() = 0;

    virtual void openButtonSetup(int buttonNumber) = 0;
    virtual void showDebugReport() = 0;
    virtual std::unique_ptr<TreeReadProgress> showTreeReadProgress() = 0;
    virtual void runSettingsDialog(SettingsHooks hooks) = 0;
    // The language's texts on the window, and on the dialogs that exist.
    virtual void applyTexts() = 0;
    virtual void reapplyDialogTexts() = 0;

    // What the hotkey flows do with the window while another program is in front.
    virtual void bringToFront() = 0;
    virtual void bringOutputViewerToFront() = 0;
    virtual void minimise() = 0;
    virtual void restoreFromMinimised() = 0;
    virtual void showReadyNotice() = 0;
};

} // namespace commands
