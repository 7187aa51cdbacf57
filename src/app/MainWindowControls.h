#pragma once
// The main window's controls, named as the rest of the program and the tests
// know them, and the composition that builds them.

#include "app/FileDialogs.h"

#include <QObject>
#include <QString>
#include <array>
#include <functional>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMainWindow;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class QToolButton;
class QTreeWidget;

struct MainWindowControls {
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
};

// Builds the controls, menus and shared dialogs on the window, as it was
// designed; connects nothing but the menus' own pop-ups.
void buildMainWindowControls(QMainWindow &w, MainWindowControls &c);

// Runs release(button, mouse button) on a mouse release over a command
// button and only then: keyboard activation (Enter, space, its access key)
// runs nothing.
void onButtonRelease(MainWindowControls &c, std::function<void(QPushButton *, Qt::MouseButton)> release);

// Right press on the tree: the node under the mouse becomes the selected one
// before the context menu opens; on empty space the selection stays.
void selectOnRightPress(QTreeWidget *tree);
