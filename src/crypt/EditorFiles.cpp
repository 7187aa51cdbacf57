#include "crypt/EditorFiles.h"

#include "app/AppState.h"
#include "crypt/EditorText.h"
#include "pgp/RunPgp.h"

#include <QFile>
#include <QPlainTextEdit>

#include <cerrno>

namespace cryptcmd {

std::string openErrorText(const std::string &path)
{
    return "Kann Datei " + pgp::toMessageText(path) + " nicht öffnen.";
}

std::string createErrorText(const std::string &path, int sysError)
{
    std::string text = "Kann Datei " + pgp::toMessageText(path) + " nicht erstellen.";
    if (sysError == ENOSPC || sysError == EDQUOT)
        text += " " + platform::systemErrorText(sysError) + ".";
    return text;
}

std::string pathBytes(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

QString displayPath(const std::string &path)
{
    return QFile::decodeName(QByteArray(path.data(), qsizetype(path.size())));
}

bool loadEditorFile(app::AppState &st, QPlainTextEdit *edit, const std::string &path, FileKind kind)
{
    std::string bytes;
    try {
        bytes = kind == FileKind::Private ? st.sys.fs->readWorkingFile(path) : st.sys.fs->readFile(path);
    } catch (const platform::PlatformError &) {
        st.dialogs->platformError(openErrorText(path));
        return false;
    }
    setEditorText(edit, kind == FileKind::Private ? editorTextFromResult(bytes) : editorTextFromFile(bytes));
    return true;
}

bool loadRunResult(app::AppState &st, QPlainTextEdit *edit, const pgp::RunOutcome &run, const std::string &path)
{
    return run.wrote(path) && st.sys.fs->exists(path) && loadEditorFile(st, edit, path, FileKind::Private);
}

bool checkEditorLatin1(app::AppState &st, const QPlainTextEdit *edit)
{
    const Latin1Text text = fileBytesFromEditor(editorText(edit));
    if (!text.ok)
        st.dialogs->errorBox(latin1RefusalText(text, st.english()));
    return text.ok;
}

bool writeEditorFile(app::AppState &st, const QPlainTextEdit *edit, const std::string &path, FileKind kind)
{
    const Latin1Text text = fileBytesFromEditor(editorText(edit));
    if (!text.ok) {
        st.dialogs->errorBox(latin1RefusalText(text, st.english()));
        return false;
    }
    try {
        if (kind == FileKind::Private)
            st.sys.fs->writePrivateFile(path, text.bytes);
        else
            st.sys.fs->writeFile(path, text.bytes);
    } catch (const platform::PlatformError &e) {
        st.dialogs->platformError(createErrorText(path, e.sysError()));
        return false;
    }
    return true;
}

} // namespace cryptcmd
