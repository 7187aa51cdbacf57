#include "commands/DocumentCommands.h"

#include "app/AppState.h"
#include "app/FileDialogs.h"
#include "app/TextCatalog.h"
#include "commands/CommandHost.h"
#include "crypt/CryptCore.h"
#include "crypt/EditorFiles.h"
#include "crypt/EditorFont.h"
#include "crypt/EditorPrinting.h"

#include <QAction>
#include <QFontDialog>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>

namespace commands {

namespace {

// The file dialogs' second filter entry: text files.
constexpr int kTextFilter = 2;

void saveTo(CommandHost &host, const QString &path)
{
    cryptcmd::writeEditorFile(host.state(), &host.editor(), cryptcmd::pathBytes(path), cryptcmd::FileKind::Document);
}

} // namespace

void showFileInCaption(CommandHost &host, const std::string &file)
{
    const std::string &version = host.state().versionText;
    QString caption = QString::fromLatin1(version.data(), qsizetype(version.size()));
    if (!file.empty())
        caption += QStringLiteral(" - ") + cryptcmd::displayPath(cryptcmd::captionFileName(file));
    host.setCaption(caption);
}

void NewDocument::start(CommandHost &host)
{
    host.editor().clear();
    showFileInCaption(host, {});
}

void OpenDocument::start(CommandHost &host)
{
    app::FileDialog &dlg = host.openDialog();
    dlg.filterIndex = kTextFilter;
    if (!dlg.execute(host.dialogParent()))
        return;
    const std::string path = cryptcmd::pathBytes(dlg.fileName);
    if (!cryptcmd::loadEditorFile(host.state(), &host.editor(), path))
        return;
    // A later save asks for a name again rather than overwrite another file.
    host.saveDialog().fileName.clear();
    showFileInCaption(host, path);
}

void SaveDocument::start(CommandHost &host)
{
    app::FileDialog &dlg = host.saveDialog();
    if (!dlg.fileName.isEmpty()) {
        saveTo(host, dlg.fileName);
        return;
    }
    dlg.filterIndex = kTextFilter;
    if (dlg.execute(host.dialogParent()))
        saveTo(host, dlg.fileName);
}

void SaveDocumentAs::start(CommandHost &host)
{
    app::FileDialog &dlg = host.saveDialog();
    dlg.filterIndex = kTextFilter;
    dlg.title = QString::fromUtf8(app::fixed::SaveTextTitle);
    if (dlg.execute(host.dialogParent()))
        saveTo(host, dlg.fileName);
}

void PrintDocument::start(CommandHost &host)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        host.state().dialogs->platformError(cryptcmd::kNoDefaultPrinter);
        return;
    }
    QPrinter printer(info, QPrinter::HighResolution);
    cryptcmd::printEditorText(&host.editor(), printer);
}

void ChooseEditorFont::start(CommandHost &host)
{
    QPlainTextEdit &edit = host.editor();
    QFont font = edit.font();
    bool ok = false;
    if (cryptcmd::fontDialogHook())
        ok = cryptcmd::fontDialogHook()(font);
    else
        font = QFontDialog::getFont(&ok, font, host.dialogParent(), QString(), QFontDialog::DontUseNativeDialog);
    if (!ok)
        return;
    const QColor color = edit.palette().color(QPalette::Text);
    host.state().editorFont = fontRecordFrom(font, color);
    applyEditorFontRecord(&edit, host.state().editorFont);
}

void ToggleWordWrap::start(CommandHost &host)
{
    // The checkable entry has already turned its check mark when triggered.
    const bool wrap = host.wordWrapEntry().isChecked();
    host.editor().setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

} // namespace commands
