#pragma once
// Moving the editor's text to and from files, with the messages the user
// sees when that fails.

#include <QString>
#include <string>

class QPlainTextEdit;

namespace app {
struct AppState;
}
namespace pgp {
struct RunOutcome;
}

namespace cryptcmd {

// "Kann Datei %s nicht öffnen." and "Kann Datei %s nicht erstellen." (UTF-8).
// A full disk (or quota) is named after the create error, since the user
// has to act on it: sysError is the failing call's errno.
std::string openErrorText(const std::string &path);
std::string createErrorText(const std::string &path, int sysError = 0);

// Path bytes as the file system wants them, and back for display.
std::string pathBytes(const QString &path);
QString displayPath(const std::string &path);

enum class FileKind { Document, Private };

// Replaces the editor text by the file's; on failure shows the open error
// and leaves the editor as it was. A private (working) file is never read
// through a link planted at its name.
bool loadEditorFile(app::AppState &st, QPlainTextEdit *edit, const std::string &path,
                    FileKind kind = FileKind::Document);

// Loads what a PGP run wrote (run.wrote(path)): its captured report, or a
// result file after a run that succeeded; never through a link planted at
// the name. False when there is no result to load (the editor keeps its
// text).
bool loadRunResult(app::AppState &st, QPlainTextEdit *edit, const pgp::RunOutcome &run, const std::string &path);

// Whether the editor text can be written as Latin-1; says so when not.
bool checkEditorLatin1(app::AppState &st, const QPlainTextEdit *edit);

// Writes the editor text as Latin-1 with CR LF lines. Text outside Latin-1
// is refused with a message and nothing is written; a failed write shows the
// create error. Private files are owner-only and never follow a planted link.
bool writeEditorFile(app::AppState &st, const QPlainTextEdit *edit, const std::string &path, FileKind kind);

} // namespace cryptcmd
