#pragma once
// PGP's key listings as the key views read them: the short listing ID.txt
// (one row per key for the recipient chooser) and the verbose listing
// Tree.txt (key lines and the lines beneath them). Latin-1 bytes throughout.

#include <string>
#include <string_view>
#include <vector>

namespace keys {

// Splits a text file into its lines without their ends (CR LF, LF or a lone
// CR). A final line end adds no empty line; an empty file is one empty line,
// as a text-file reader that tests for the end after each line sees it.
std::vector<std::string_view> textLines(std::string_view bytes);

// ---- short listing (ID.txt) ---------------------------------------------

// The line holds a "/", and the rest after its first five characters holds
// none or has its first one within its first six characters.
bool isKeyLine(std::string_view line);

struct UserRow {
    std::string bits;   // line positions 6 to 9, right-aligned size
    std::string keyId;  // positions 11 to 18
    std::string date;   // positions 19 to 29: a blank and the date
    std::string userId; // positions 31 to the end
};

// The four fields by fixed position; a field past the end is short or empty.
UserRow userRowOf(std::string_view line);

// The chooser's rows: every key line in file order, without the first row
// (PGP's column header passes the key-line test).
std::vector<UserRow> userRows(std::string_view listing);

// ---- verbose listing (Tree.txt) -------------------------------------------

enum class TreeLine {
    Key,   // "pub", or the German PGP's "öff" (0xF6 0x66 0x66)
    Child, // "sig", the German "Unt", or three blanks (a further user ID)
    Skip,  // anything else: headers, blank and summary lines
};

// Classifies by the first three characters, exactly and case-sensitively.
TreeLine classifyTreeLine(std::string_view line);

// Positions 11 to 18 of a key or signature line: the key ID (the signer's
// on a signature line); shorter when the line is.
std::string keyIdText(std::string_view nodeText);

// Eight blanks: a continuation line, on which the key commands do nothing.
inline bool isBlankKeyId(const std::string &id) { return id == "        "; }

} // namespace keys
