#pragma once
// The encryption commands' compositions, without widgets: option letters,
// what each editor text command does with PGP and its temporary files, and
// the recipients named on the editor's first line.

#include <string>
#include <vector>

namespace cryptcmd {

// The option letters of the three option boxes, always in the order b, a, t.
std::string optionLetters(bool breakSig, bool armour, bool textMode);

// ---- file commands -------------------------------------------------------

enum class FileCommand { Encrypt, Decrypt, Sign };

// "-e" + letters, nothing for decrypt (pgp decides by the file), "-s" +
// letters + " +batchmode".
std::string fileCommandOptions(FileCommand cmd, bool breakSig, bool armour, bool textMode);

// ---- editor text commands ------------------------------------------------

enum class EditorCommand { AddKey, Encrypt, Decrypt, Sign };

enum class ResultFile { OutTxt, QuorbixAsc, Quorbix };
enum class ViewerPolicy { Never, WhenResultMissing, Always };

inline constexpr const char *kTempInput = "QUORBIX.tmp";
inline constexpr const char *kTempArmoured = "QUORBIX.asc";
inline constexpr const char *kTempBinary = "QUORBIX.pgp";
inline constexpr const char *kTempDecrypted = "QUORBIX";

struct EditorCommandRow {
    const char *baseOptions;   // "-ka", "-ea", "", "-sa"
    bool optionLetters;        // b (CheckBox1) then t (CheckBox3); "a" is implied
    bool batchMode;            // " +batchmode" after the letters
    bool passesRecipients;     // recipientArg is the second operand
    bool needsPassPhrase;
    bool takesCommandBusy;
    bool busyCursor;           // application-starting cursor during the run
    bool refreshUserList;      // the key-list script runs afterwards
    ResultFile result;         // what is loaded into the editor
    ViewerPolicy viewer;
    std::vector<const char *> tempFiles; // in TempDir, deleted before and after
};

const EditorCommandRow &editorCommandRow(EditorCommand cmd);

std::string editorCommandOptions(EditorCommand cmd, bool breakSig, bool textMode);

// The result file's name: in TempDir for QUORBIX.asc and QUORBIX, in AppDir
// for out.txt.
std::string resultFileName(ResultFile r);

// ---- recipients on the first line ------------------------------------------

struct InlineSplit {
    bool found = false;      // the first line started with "//" and is removed
    std::string recipients;  // the rest of that line, as it stands
    std::string rest;        // the text without that line
};

// Text with LF line ends. A first line starting with "//" names the
// recipients; the line goes, its line end with it.
InlineSplit splitInlineRecipients(const std::string &text);

// ---- captions --------------------------------------------------------------

// The file's name without its directory, at most 255 characters.
std::string captionFileName(const std::string &path);
// VersionText + " - " + the file's name.
std::string captionWithFile(const std::string &versionText, const std::string &path);

} // namespace cryptcmd
