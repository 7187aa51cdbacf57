#pragma once
// Reading and writing the user's settings. The values live in one plain
// struct so the main window maps them to and from its controls one by one.

#include "app/SettingsRecords.h"

#include <string>

namespace platform {
class RegistryStore;
}

namespace app {

struct SettingsValues {
    // MainWindow
    int left = 0;   // outer bounds in pixels, screen coordinates
    int top = 0;
    int height = 0;
    int width = 0;
    bool maximized = false;
    bool breakSig = false; // CheckBox1, "-b"
    bool radix64 = true;   // CheckBox2, "-a"
    bool textMode = false; // CheckBox3, "-t"
    // Setup
    std::string pgpPath;   // PgpDir
    std::string kLoadPath; // OpenDialog1 initial directory
    std::string kSavePath; // SaveDialog1 initial directory
    bool ubPanel = false;  // Panel2 shown, "&User-Buttons" checked
    bool wordwrap = true;  // RichEdit1 word wrap, "&Zeilenumbruch" checked
    std::string configText;
    std::string browser = "Clipboard";
    std::string language = "Deutsch";
    EditorFontRecord editorFont;
    HotkeyValue scEncrypt; // identifier 100
    HotkeyValue scDecrypt; // identifier 200
    HotkeyValue scSign;    // identifier 300
};

struct LoadResult {
    bool firstStart = false; // no MainWindow key: nothing was read
    bool ok = true;          // false when a registry error stopped the reading
    std::string error;       // the registry layer's message (UTF-8)
};

// Key paths below HKEY_CURRENT_USER.
std::string mainWindowKey();
std::string setupKey();

// Reads the store into inout. The caller fills left/top/height/width with the
// window's bounds at creation and pgpPath with $PGPPATH first: those are the
// defaults of the missing values. The binary records keep inout's content
// when their value is missing. On an error, the values read before it stay in
// inout and the rest keep their defaults.
LoadResult loadSettings(platform::RegistryStore &store, SettingsValues &inout);

// Writes the values and flushes the store. Throws platform::PlatformError.
// With what start-up read, the store is read afresh first and only the
// values this run changed are written, so a setting that another instance
// saved in between survives; without it everything is written.
void saveSettings(platform::RegistryStore &store, const SettingsValues &values,
                  const SettingsValues *read = nullptr);

// What a first start runs with: "-b" and "-t" off, "-a" on, load/save paths and extra
// parameters empty, PgpDir and bounds from creation time, word wrap on, the
// user-button panel shown, an all-zero font record and no hotkeys. Browser
// is "Clipboard", so the hotkeys take the clipboard route and show their
// ready notice.
SettingsValues firstStartValues(const SettingsValues &creationTime);

// Integer reading of a stored text: "0x"/"0X" with more than two characters
// is hexadecimal; anything that is not a number gives the default.
int parseStoredInt(const std::string &text, int defaultValue);

} // namespace app
