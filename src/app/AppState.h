#pragma once
// State shared by several subsystems, owned by the main window.

#include "app/SettingsRecords.h"
#include "app/SettingsStore.h"
#include "app/TextCatalog.h"
#include "buttons/ButtonRecord.h"
#include "platform/Platform.h"
#include "ui/Dialogs.h"

#include <functional>
#include <optional>

#include <string>

namespace app {

struct AppState {
    platform::Services sys;
    ui::Dialogs *dialogs = nullptr;
    // Lets pending window messages be processed (a no-op in plain tests).
    std::function<void()> processEvents = [] {};
    // Called when the quit request arrives while a PGP run is waited for:
    // shuts down and ends the process. Tests may leave it empty.
    std::function<void(int)> quitNow;
    // Brings the main window to the foreground (ShowError does so first).
    std::function<void()> raiseMainWindow;

    // The working files (out.txt, Tree.txt, ID.txt, MakeID.bat); no trailing "/".
    std::string appDir;
    // Program files (help pages, MakeID.pif) and the user's kept files (button
    // files, Debug.log); both are appDir when left empty.
    std::string dataDir;
    std::string userDir;
    std::string tempDir;  // as the environment gave it
    std::string pgpDir;   // no trailing "/"
    std::string passPhrase;
    bool sendPassPhrase = false;
    std::string versionText = "QUORBIX Version 2.0";
    std::string helpFile; // dataDir + "/Quorbix.html" or "/Quorbixe.html"

    bool firstStart = false;
    bool buttonsChanged = false;
    bool saveButtonsOnExit = false;
    bool commandBusy = false;
    bool cancelRequested = false;
    std::string recipientArg;
    // The text typed into the chooser's "UserID :" field when the recipient argument
    // is that text in double quotes: it reaches pgp as one argument.
    std::optional<std::string> typedUserId;
    int keyCount = 0;

    // The settings as start-up read them (none on a first start or after a
    // failed read): the shutdown writes only what changed since.
    std::optional<SettingsValues> settingsRead;

    // Settings that live in process-wide values rather than in controls.
    std::string kLoadPath;
    std::string kSavePath;
    std::string configText;
    std::string browser;          // "Clipboard" or "MIE"
    std::string language = "Deutsch";
    EditorFontRecord editorFont;
    HotkeyValue scEncrypt, scDecrypt, scSign;

    TextCatalog texts;

    buttons::ButtonTable buttons;
    std::string buttonFileName;   // "Buttons.qxd" or "Buttons.qxe", chosen at the last load

    bool english() const { return language == "English"; }
    std::string inAppDir(const std::string &name) const { return appDir + "/" + name; }
    const std::string &dataFolder() const { return dataDir.empty() ? appDir : dataDir; }
    const std::string &userFolder() const { return userDir.empty() ? appDir : userDir; }
    std::string inDataDir(const std::string &name) const { return dataFolder() + "/" + name; }
    std::string inUserDir(const std::string &name) const { return userFolder() + "/" + name; }
    std::string inTempDir(const std::string &name) const { return tempDir + "/" + name; }
    std::string inPgpDir(const std::string &name) const { return pgpDir + "/" + name; }
};

} // namespace app
