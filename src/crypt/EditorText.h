#pragma once
// The editor's text as Windows Latin-1 (code page 1252) files with CR LF
// lines, converted only here, at the widget boundary.

#include <QString>
#include <string>

class QPlainTextEdit;

namespace cryptcmd {

// File bytes (Windows-1252; CR LF, LF or CR line ends) as editor text. The line
// end of the last line is not an extra empty line.
QString editorTextFromFile(const std::string &latin1);
// A text pgp wrote: as above, except that UTF-8 beyond Windows Latin-1
// (which pgp leaves as it came) is read as UTF-8.
QString editorTextFromResult(const std::string &bytes);

struct Latin1Text {
    bool ok = true;
    std::string bytes;   // every line ended by CR LF; empty for an empty text
    QString badChar;     // the first character outside Windows-1252
    int badLine = 0;     // its line, counted from 1
};

// Editor text as Windows-1252 file bytes; text outside it is not written at all
// (ok false, bytes empty) rather than turned into question marks.
Latin1Text fileBytesFromEditor(const QString &text);

// The refusal message for a text outside Windows-1252 (UTF-8).
std::string latin1RefusalText(const Latin1Text &t, bool english);

// The editor's text, line by line, exactly as typed (no-break spaces kept).
QString editorText(const QPlainTextEdit *edit);
// Replaces the editor's whole text.
void setEditorText(QPlainTextEdit *edit, const QString &text);

// The recipients named on the editor's first line ("//" and the rest of the
// line), Latin-1; the line is removed from the editor when it starts with
// "//". Empty when there is no such line. A line naming an option ("-o
// file") stays in the editor; its text is returned for RunPgp to refuse.
std::string InlineRecipients(QPlainTextEdit *edit);

} // namespace cryptcmd
