#include "buttons/ButtonTable.h"

#include "app/AppState.h"
#include "platform/Platform.h"

namespace buttons {

namespace {

// The tables are written here in UTF-8 for readability; records hold Latin-1.
std::string latin1(const char *utf8)
{
    std::string out;
    for (const auto *p = reinterpret_cast<const unsigned char *>(utf8); *p; ++p) {
        if (*p < 0x80) {
            out += char(*p);
        } else {
            unsigned c = ((p[0] & 0x1F) << 6) | (p[1] & 0x3F);
            out += char(c);
            ++p;
        }
    }
    return out;
}

enum Out { Console, Program };

struct Row {
    const char *title;
    const char *hint;
    const char *command;
    const char *dialogs; // R recipient, S save, O open
    Out out;
    bool refresh;
    std::uint16_t windowMode;
};

const Row kGerman[kButtonCount] = {
    {"Key &generieren", "Erzeugt ein eigenes Schlüsselpaar.", "-kg", "", Console, true, 5},
    {"&Beglaubigungen prüfen", "Prüft die Beglaubigungen der Unterschriften.", "-kc", "", Program, false, 0},
    {"Key &editieren", "Editiert den ausgewählten Schlüssel.", "-ke", "R", Console, true, 5},
    {"&Inhalt anzeigen", "Zeigt den Inhalt des öffentlichen Schlüsselbunds an.", "-kvv", "", Program, false, 0},
    {"&Fingerprint anzeigen.", "Zeigt den Fingerprint des gewählten Schlüssels an.", "-kvc", "R", Program, false, 0},
    {"&ASCII-Key speichern", "Speichert den gewählten Schlüssel als ASCII-Datei.", "-kxa", "RS", Program, false, 0},
    {"Key &speichern", "Speichert den gewählten Schlüssel als Binär-Datei.", "-kx", "RS", Program, false, 0},
    {"Key &hinzufügen", "Fügt einen Schlüssel dem Schlüsselbund hinzu.", "-ka", "O", Program, true, 0},
    {"Key &löschen", "Entfernt den gewählten Schlüssel aus dem Schlüsselbund.", "-kr", "R", Console, true, 5},
    {"Key &unterschreiben", "Fügt Ihre Unterschrift dem gewählten Schlüssel hinzu.", "-ks", "R", Program, true, 0},
    {"Unterschrift e&ntfernen", "Entfernt eine Unterschrift.", "-krs", "R", Console, true, 5},
    {"Key &zurückziehen", "Zieht Ihren Schlüssel zurück oder macht ihn ungültig.", "-kd", "R", Console, true, 5},
    {"[UserButton 1]", "", "", "", Console, false, 5},
    {"[UserButton 2]", "", "", "", Console, false, 0},
    {"[UserButton 3]", "", "", "", Console, false, 0},
    {"[UserButton 4]", "", "", "", Console, false, 0},
    {"[UserButton 5]", "", "", "", Console, false, 0},
};

// Titles and hints of the English table; hints cut at their 60 characters.
const char *const kEnglish[kButtonCount][2] = {
    {"&Generate key", "Generates your own unique public/secret key pair."},
    {"&Check certifying of sign.", "To view the contents and check the certifying signatures of "},
    {"&Edit key", "To edit the trust parameters for a public key."},
    {"V&iew contents", "To view the contents of your public keyring."},
    {"View &fingerprint", "To view the \"fingerprint\" of a public key, to help verify it"},
    {"Save &ASCII-key", "Saves the selected key as an ASCII-file."},
    {"&Save key", "Saves the selected key as a binary-file."},
    {"Add ke&y", "Adds a public or secret key file's contents to your public o"},
    {"De&lete key", "To remove a key or just a userid from your public keyring."},
    {"Sign &key", "To sign and certify someone else's public key on your public"},
    {"Remove sig&nature", "To remove selected signatures from a userid on a keyring."},
    {"Rev&oke key", "To revoke your own key, or to disable or reenable a public k"},
    {"[UserButton 1]", ""},
    {"[UserButton 2]", ""},
    {"[UserButton 3]", ""},
    {"[UserButton 4]", ""},
    {"[UserButton 5]", ""},
};

ButtonTable makeTable(bool german)
{
    ButtonTable t;
    for (int i = 0; i < kButtonCount; ++i) {
        const Row &row = kGerman[i];
        ButtonRecord r;
        r.title = german ? latin1(row.title) : kEnglish[i][0];
        r.hint = german ? latin1(row.hint) : kEnglish[i][1];
        r.command = row.command;
        r.buttonNumber = i + 1;
        std::string d = row.dialogs;
        r.recipient = d.find('R') != std::string::npos;
        r.saveDialog = d.find('S') != std::string::npos;
        r.openDialog = d.find('O') != std::string::npos;
        r.outConsole = row.out == Console;
        r.outProgram = row.out == Program;
        r.refreshUserList = row.refresh;
        r.windowMode = row.windowMode;
        if (!german && i == 12)
            r.windowMode = 0;
        // Settle raw so the record compares and encodes as its own bytes.
        r.raw = r.encode();
        t[i] = r;
    }
    return t;
}

std::string shortFileMessage(const std::string &path, std::size_t size, int record)
{
    return "Die Button-Datei " + path + " ist zu kurz (" + std::to_string(size) + " statt "
           + std::to_string(kTableSize) + " Bytes): Datensatz " + std::to_string(record)
           + " konnte nicht gelesen werden. Die Buttons bleiben unverändert.";
}

} // namespace

const ButtonTable &builtinTable(bool german)
{
    static const ButtonTable de = makeTable(true);
    static const ButtonTable en = makeTable(false);
    return german ? de : en;
}

std::string encodeTable(const ButtonTable &table)
{
    std::string out;
    out.reserve(kTableSize);
    for (const auto &r : table) {
        auto b = r.encode();
        out.append(reinterpret_cast<const char *>(b.data()), b.size());
    }
    return out;
}

std::string buttonFileName(const std::string &language)
{
    return language == "Deutsch" ? "Buttons.qxd" : "Buttons.qxe";
}

TableLoadResult loadButtonTable(platform::FileSystem &fs, const std::string &appDir, const std::string &language,
                                ButtonTable &table, const std::string &seedDir)
{
    TableLoadResult res;
    res.fileName = buttonFileName(language);
    const bool german = language == "Deutsch";
    const std::string path = appDir + "/" + res.fileName;
    // A save that was killed before its rename left its temporary file.
    fs.removeInterruptedReplacements(path);

    if (!fs.exists(path)) {
        std::string initial;
        const std::string seed = seedDir + "/" + res.fileName;
        if (!seedDir.empty() && seedDir != appDir && fs.exists(seed)) {
            try {
                initial = fs.readFile(seed);
            } catch (const platform::PlatformError &) {
                initial.clear();
            }
        }
        if (initial.empty())
            initial = encodeTable(builtinTable(german));
        try {
            fs.writeFile(path, initial);
            res.created = true;
        } catch (const platform::PlatformError &e) {
            table = builtinTable(german);
            res.recordsRead = kButtonCount;
            res.relabel = true;
            res.ok = false;
            res.error = "Die Button-Datei " + path + " konnte nicht erzeugt werden: " + e.what();
            return res;
        }
    }

    std::string bytes;
    try {
        bytes = fs.readFile(path);
    } catch (const platform::PlatformError &e) {
        res.ok = false;
        res.error = e.what();
        return res;
    }
    for (int k = 0; k < kButtonCount; ++k) {
        std::size_t at = std::size_t(k) * kRecordSize;
        if (bytes.size() < at + kRecordSize) {
            res.ok = false;
            res.error = shortFileMessage(path, bytes.size(), k + 1);
            return res;
        }
        table[k] = ButtonRecord::decode(reinterpret_cast<const std::uint8_t *>(bytes.data()) + at);
        res.recordsRead = k + 1;
    }
    res.relabel = true;
    return res;
}

void saveButtonTable(platform::FileSystem &fs, const std::string &appDir, const std::string &fileName,
                     ButtonTable &table)
{
    for (int k = 0; k < kButtonCount; ++k)
        table[k].buttonNumber = k + 1;
    fs.replaceAtomically(appDir + "/" + fileName, encodeTable(table), 0644);
}

std::array<ButtonLabel, kButtonCount> buttonLabels(const ButtonTable &table)
{
    std::array<ButtonLabel, kButtonCount> labels;
    for (int k = 0; k < kButtonCount; ++k)
        labels[k] = {table[k].title, table[k].hint, table[k].buttonNumber};
    return labels;
}

TableLoadResult LoadButtonTable(app::AppState &st)
{
    auto res = loadButtonTable(*st.sys.fs, st.userFolder(), st.language, st.buttons, st.dataFolder());
    st.buttonFileName = res.fileName;
    return res;
}

void SaveButtonTable(app::AppState &st)
{
    st.processEvents();
    if (st.buttonFileName.empty())
        st.buttonFileName = buttonFileName(st.language);
    saveButtonTable(*st.sys.fs, st.userFolder(), st.buttonFileName, st.buttons);
}

} // namespace buttons
