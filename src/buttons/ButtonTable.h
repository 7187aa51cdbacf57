#pragma once
// The button file: seventeen 416-byte records, one file per language, and the
// two built-in tables written when the language's file is missing.

#include "buttons/ButtonRecord.h"

#include <array>
#include <string>

namespace platform {
class FileSystem;
}
namespace app {
struct AppState;
}

namespace buttons {

// The built-in tables (Latin-1 texts, ButtonNumber = position).
const ButtonTable &builtinTable(bool german);
// A table as the 7072 bytes of its file.
std::string encodeTable(const ButtonTable &table);
// "Buttons.qxd" for "Deutsch", "Buttons.qxe" for any other language.
std::string buttonFileName(const std::string &language);

struct TableLoadResult {
    std::string fileName;   // chosen from the language; saves go there
    bool created = false;   // the built-in table was written out
    int recordsRead = 0;    // records that took the file's (or built-in) values
    bool relabel = false;   // the buttons are to be relabelled
    bool ok = true;         // false: error holds the message to show
    std::string error;      // UTF-8
};

// Chooses the file, writes the built-in table when it is missing and reads
// the records in order. A short or unreadable file stops at the failing
// record: earlier records take the file's values, later ones keep what the
// table held, and nothing is relabelled. When the built-in file cannot be
// created, the table takes the built-in records (and is relabelled) so the
// buttons still work; the error is reported all the same. A missing file is
// first taken from seedDir when that folder holds one (the program's default
// tables, or a user's file left where the program files are).
TableLoadResult loadButtonTable(platform::FileSystem &fs, const std::string &appDir, const std::string &language,
                                ButtonTable &table, const std::string &seedDir = {});

// Sets ButtonNumber k on record k and replaces the file atomically.
// Throws platform::PlatformError.
void saveButtonTable(platform::FileSystem &fs, const std::string &appDir, const std::string &fileName,
                     ButtonTable &table);

struct ButtonLabel {
    std::string caption; // Latin-1, "&" marks the access key
    std::string hint;    // Latin-1
    int tag = 0;         // the ButtonNumber, unchecked
};
// What RelabelButtons puts on bu1..bu17.
std::array<ButtonLabel, kButtonCount> buttonLabels(const ButtonTable &table);

// The same over the shared state: st.language, the user's folder (seeded
// from the data folder), st.buttons and
// st.buttonFileName (set from the result, also on failure).
TableLoadResult LoadButtonTable(app::AppState &st);
// Lets pending events be processed, then saves under st.buttonFileName.
// Throws platform::PlatformError.
void SaveButtonTable(app::AppState &st);

} // namespace buttons
