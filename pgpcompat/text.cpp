#include "text.h"

#include "Charset.h"

#include <cstring>
#include <map>
#include <string_view>

namespace pgpc {

std::string utf8ToLatin1(const std::string &s)
{
    std::string out;
    charset::utf8ToCp1252(s, out, true);
    return out;
}

std::string latin1ToUtf8(const std::string &s) { return charset::cp1252ToUtf8(s); }

bool isValidUtf8(const std::string &s) { return charset::isValidUtf8(s); }

std::string asciiLower(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

// Folds to lower case over Latin-1 letters (what user IDs of this tool's users hold);
// other characters stay as they are.
static std::u32string foldUtf8(const std::string &s)
{
    std::u32string out;
    size_t i = 0;
    while (i < s.size()) {
        unsigned cp;
        if (!charset::decodeUtf8(s, i, cp))
            cp = 0xFFFD;
        if ((cp >= 'A' && cp <= 'Z') || (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7))
            cp += 0x20;
        out += char32_t(cp);
    }
    return out;
}

bool containsNoCase(const std::string &haystack, const std::string &needle)
{
    return foldUtf8(haystack).find(foldUtf8(needle)) != std::u32string::npos;
}

const char *msg(Lang lang, const char *english)
{
    if (lang != Lang::German)
        return english;
    static const std::map<std::string_view, const char *> de = {
        {"Key ring: '%s'", "Schlüsselbund '%s':"},
        {"1 matching key found.", "Es wurde ein passender Schlüssel gefunden."},
        {"%d matching keys found.", "Es wurden %d passende Schlüssel gefunden."},
        {"*** KEY REVOKED ***", "*** ZURÜCKGEZOGEN ***"},
        {"(Unknown signator, can't be checked)", "(Unbekannter Unterzeichner, nicht prüfbar)"},
        {"Key fingerprint =", "Fingerabdruck ="},
        {"Key matching userid '%s' not found in file '%s'.",
         "Ein Schlüssel mit der Benutzer-ID '%s' ist in der Datei '%s' nicht vorhanden."},
        {"File '%s' does not exist.", "Die Datei '%s' existiert nicht."},
        {"Error: '%s' is not a ciphertext, signature, or key file.",
         "Fehler: '%s' ist weder eine verschlüsselte Datei, noch eine Unterschrift oder ein Schlüssel."},
        {"Transport armor file: %s", "Versandhülle: %s"},
        {"Clear signature file: %s", "Klartext-Unterschriftsdatei: %s"},
        {"Ciphertext file: %s", "Verschlüsselte Datei: %s"},
        {"Signature file: %s", "Unterschriftsdatei: %s"},
        {"Plaintext filename: %s", "Klartext-Dateiname: %s"},
        {"Output file '%s' already exists.", "Die Ausgabedatei '%s' existiert bereits."},
        {"Output file '%s' already exists.  Overwrite (y/N)? ",
         "Die Ausgabedatei '%s' existiert bereits. Überschreiben (j/N)? "},
        {"Enter new file name: ", "Neuer Dateiname: "},
        {"Error:  Bad pass phrase.", "Fehler: Falsches Mantra!"},
        {"Pass phrase is good.  Just a moment....", "Das Mantra ist richtig. Einen Moment, bitte..."},
        {"You need a pass phrase to unlock your secret key.",
         "Du brauchst ein Mantra, um Deinen privaten Schlüssel zu entsperren."},
        {"Enter pass phrase: ", "Gib das Mantra ein: "},
        {"Enter pass phrase again: ", "Gib das Mantra nochmal ein: "},
        {"A secret key is required to make a signature.",
         "Zum Unterschreiben ist ein privater Schlüssel nötig."},
        {"File is encrypted.  Secret key is required to read it.",
         "Die Datei ist verschlüsselt. Zum Lesen ist der private Schlüssel nötig."},
        {"File has signature.  Public key is required to check signature.",
         "Die Datei trägt eine Unterschrift. Zur Prüfung ist der öffentliche Schlüssel nötig."},
        {"Good signature from user \"%s\".", "Korrekte Unterschrift von \"%s\"."},
        {"Bad signature from user \"%s\".", "Falsche Unterschrift von \"%s\"."},
        {"Signature made %s GMT using %s key, key ID %s",
         "Unterschrift erzeugt am %s GMT mit %s Schlüssel, Schlüssel-ID %s"},
        {"WARNING: Bad signature, doesn't match file contents!",
         "WARNUNG: Falsche Unterschrift, sie paßt nicht zum Dateiinhalt!"},
        {"Key matching expected Key ID %s not found in file '%s'.",
         "Der Schlüssel mit der erwarteten Schlüssel-ID %s ist in der Datei '%s' nicht vorhanden."},
        {"WARNING: Can't find the right public key-- can't check signature integrity.",
         "WARNUNG: Der passende öffentliche Schlüssel fehlt, die Unterschrift kann nicht geprüft werden."},
        {"Signature and text are separate.  No output file produced.",
         "Unterschrift und Text sind getrennt. Es wurde keine Ausgabedatei erzeugt."},
        {"File '%s' has signature, but with no text.", "Die Datei '%s' enthält eine Unterschrift, aber keinen Text."},
        {"Text is assumed to be in file '%s'.", "Der Text wird in der Datei '%s' vermutet."},
        {"Recipients' public key(s) will be used to encrypt.",
         "Die öffentlichen Schlüssel der Empfänger werden zum Verschlüsseln benutzt."},
        {"Key for user ID: %s", "Schlüssel für Benutzer-ID: %s"},
        {"%s key, key ID %s, created %s", "%s Schlüssel, Schlüssel-ID %s, erzeugt %s"},
        {"Cannot find the public key matching userid '%s'",
         "Der öffentliche Schlüssel zur Benutzer-ID '%s' wurde nicht gefunden."},
        {"This user will not be able to decrypt this message.",
         "Dieser Empfänger wird die Nachricht nicht entschlüsseln können."},
        {"WARNING:  Because this public key is not certified with a trusted\nsignature, it is not known with high confidence that this public key\nactually belongs to: \"%s\".",
         "WARNUNG: Dieser öffentliche Schlüssel ist nicht mit einer vertrauenswürdigen\nUnterschrift beglaubigt. Daher ist nicht sicher, daß er wirklich\nzu \"%s\" gehört."},
        {"Are you sure you want to use this public key (y/N)? ",
         "Willst Du diesen Schlüssel trotzdem benutzen (j/N)? "},
        {"Encryption error", "Fehler beim Verschlüsseln"},
        {"Signature error", "Fehler beim Unterschreiben"},
        {"Invalid arguments.", "Unzulässige Parameter."},
        {"Looking for new keys...", "Suche nach neuen Schlüsseln..."},
        {"Keyfile contains:", "Die Schlüsseldatei enthält:"},
        {"%4d new key(s)", "%4d neue(n) Schlüssel"},
        {"%4d new signatures(s)", "%4d neue Unterschrift(en)"},
        {"%4d new user ID(s)", "%4d neue Benutzer-ID(s)"},
        {"No new keys or signatures in keyfile.",
         "Keine neuen Schlüssel oder Unterschriften in der Schlüsseldatei."},
        {"Extracting from key ring: '%s', userid \"%s\".",
         "Exportieren aus dem Schlüsselbund '%s', Benutzer-ID \"%s\"."},
        {"Key extracted to file '%s'.", "Der Schlüssel wurde in die Datei '%s' geschrieben."},
        {"Removing from key ring: '%s', userid \"%s\".",
         "Entfernen aus dem Schlüsselbund '%s', Benutzer-ID \"%s\"."},
        {"Are you sure you want this key removed (y/N)? ",
         "Willst Du diesen Schlüssel wirklich entfernen (j/N)? "},
        {"Key removed from key ring.", "Der Schlüssel wurde aus dem Schlüsselbund entfernt."},
        {"Key or user ID is also present in secret keyring.",
         "Der Schlüssel ist auch im privaten Schlüsselbund vorhanden."},
        {"Do you also want to remove it from the secret keyring (y/N)? ",
         "Willst Du ihn auch aus dem privaten Schlüsselbund entfernen (j/N)? "},
        {"A key with a secret part is not removed in batch mode.",
         "Ein Schlüssel mit privatem Teil wird im Batch-Modus nicht entfernt."},
        {"Key not removed.", "Der Schlüssel wurde nicht entfernt."},
        {"Key ID %s matches more than one key; give more digits or the fingerprint.",
         "Die Schlüssel-ID %s paßt auf mehrere Schlüssel; bitte mehr Ziffern oder den Fingerabdruck angeben."},
        {"Key signature certificate added.", "Die Beglaubigung wurde hinzugefügt."},
        {"Key is already signed by user \"%s\".", "Der Schlüssel ist bereits von \"%s\" unterschrieben."},
        {"Are you sure you want to certify this key (y/N)? ",
         "Willst Du diesen Schlüssel wirklich beglaubigen (j/N)? "},
        {"File contains key(s).  Contents follow...", "Die Datei enthält Schlüssel:"},
        {"Do you want to add this keyfile to keyring '%s' (y/N)? ",
         "Willst Du diese Schlüssel in den Schlüsselbund '%s' aufnehmen (j/N)? "},
        {"Output file '%s' is a symbolic link; nothing written.",
         "Die Ausgabedatei '%s' ist ein symbolischer Link; es wurde nichts geschrieben."},
        {"The input has no extension: output file is '%s'.",
         "Die Eingabe hat keine Endung: die Ausgabedatei ist '%s'."},
        {"Error writing file '%s'.", "Fehler beim Schreiben der Datei '%s'."},
        {"You need a pass phrase to encrypt the file.", "Du brauchst ein Mantra, um die Datei zu verschlüsseln."},
        {"You need a pass phrase to decrypt this file.", "Du brauchst ein Mantra, um diese Datei zu entschlüsseln."},
        {"Enter same pass phrase again: ", "Gib dasselbe Mantra nochmal ein: "},
        {"Enter the new pass phrase: ", "Gib das neue Mantra ein: "},
        {"Enter the new pass phrase again: ", "Gib das neue Mantra nochmal ein: "},
        {"Error: Pass phrases were different.", "Fehler: Die Mantras waren verschieden."},
        {"File is conventionally encrypted.", "Die Datei ist konventionell verschlüsselt."},
        {"Key has more than one user ID.", "Der Schlüssel hat mehrere Benutzer-IDs."},
        {"Do you want to remove the whole key (y/N)? ", "Willst Du den ganzen Schlüssel entfernen (j/N)? "},
        {"Remove \"%s\" (y/N)? ", "\"%s\" entfernen (j/N)? "},
        {"User ID removed from key ring.", "Die Benutzer-ID wurde aus dem Schlüsselbund entfernt."},
        {"Run the command without +batchmode to remove it with its secret key.",
         "Ohne +batchmode läßt er sich mitsamt dem privaten Schlüssel entfernen."},
        {"This command talks to you and needs the console; it cannot run with +batchmode.",
         "Dieser Befehl fragt nach und braucht die Konsole; mit +batchmode läuft er nicht."},
        {"%4d new secret key(s)", "%4d neue(r) private(r) Schlüssel"},
        {"Key not changed.", "Der Schlüssel wurde nicht geändert."},
        {"Error reading standard input.", "Fehler beim Lesen der Standardeingabe."},
        {"Error reading file '%s'.", "Fehler beim Lesen der Datei '%s'."},
        {"The text holds characters outside Windows Latin-1; it stays UTF-8.",
         "Der Text enthält Zeichen außerhalb von Windows-Latin-1; er bleibt UTF-8."},
    };
    auto it = de.find(english);
    return it == de.end() ? english : it->second;
}

} // namespace pgpc
