// New, open, save, print, the clipboard commands, font and word wrap of the
// editor.
#include "crypt/DocumentCommands.h"

#include "app/TForm1.h"
#include "app/TextCatalog.h"
#include "crypt/CryptCore.h"
#include "crypt/EditorFiles.h"
#include "crypt/EditorFont.h"
#include "crypt/EditorText.h"
#include "ui/FontDialog.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <memory>

namespace cryptcmd {

std::function<bool(QFont &, QColor &)> &fontDialogHook()
{
    static std::function<bool(QFont &, QColor &)> hook;
    return hook;
}

void printEditorText(const QPlainTextEdit *edit, QPrinter &printer)
{
    printer.setDocName(QString());
    printer.setFullPage(true);
    std::unique_ptr<QTextDocument> doc(edit->document()->clone());
    doc->setDefaultFont(edit->font());
    doc->documentLayout()->setPaintDevice(&printer);
    QTextFrameFormat fmt = doc->rootFrame()->frameFormat();
    fmt.setMargin(0);
    doc->rootFrame()->setFrameFormat(fmt);
    // A page size of its own keeps QTextDocument from adding its 2 cm margins.
    doc->setPageSize(printer.pageRect(QPrinter::DevicePixel).size());
    doc->print(&printer);
}

} // namespace cryptcmd

namespace {

void setCaption(TForm1 &f, const std::string &file)
{
    app::AppState &st = f.state();
    QString caption = QString::fromLatin1(st.versionText.data(), qsizetype(st.versionText.size()));
    if (!file.empty())
        caption += QStringLiteral(" - ") + cryptcmd::displayPath(cryptcmd::captionFileName(file));
    f.setWindowTitle(caption);
}

void saveTo(TForm1 &f, const QString &path)
{
    cryptcmd::writeEditorFile(f.state(), f.RichEdit1, cryptcmd::pathBytes(path), cryptcmd::FileKind::Document);
}

void openDocument(TForm1 &f)
{
    f.OpenDialog1.filterIndex = 2;
    if (!f.OpenDialog1.execute(&f))
        return;
    const std::string path = cryptcmd::pathBytes(f.OpenDialog1.fileName);
    // A failed read keeps the editor's text, the remembered name and the caption.
    if (!cryptcmd::loadEditorFile(f.state(), f.RichEdit1, path))
        return;
    f.SaveDialog1.fileName.clear();
    setCaption(f, path);
}

void saveDocument(TForm1 &f)
{
    if (!f.SaveDialog1.fileName.isEmpty()) {
        saveTo(f, f.SaveDialog1.fileName);
        return;
    }
    f.SaveDialog1.filterIndex = 2;
    if (f.SaveDialog1.execute(&f))
        saveTo(f, f.SaveDialog1.fileName);
}

void saveDocumentAs(TForm1 &f)
{
    f.SaveDialog1.filterIndex = 2;
    f.SaveDialog1.title = QString::fromUtf8(app::fixed::SaveTextTitle);
    if (f.SaveDialog1.execute(&f))
        saveTo(f, f.SaveDialog1.fileName);
}

void printDocument(TForm1 &f)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        f.state().dialogs->platformError(cryptcmd::kNoDefaultPrinter);
        return;
    }
    QPrinter printer(info, QPrinter::HighResolution);
    cryptcmd::printEditorText(f.RichEdit1, printer);
}

void chooseFont(TForm1 &f)
{
    QFont font = f.RichEdit1->font();
    QColor color = f.RichEdit1->palette().color(QPalette::Text);
    const bool ok = cryptcmd::fontDialogHook() ? cryptcmd::fontDialogHook()(font, color)
                                               : ui::FontDialog::getFont(font, color, f.state().english(), &f);
    if (!ok)
        return;
    f.state().editorFont = fontRecordFrom(font, color);
    applyEditorFontRecord(f.RichEdit1, f.state().editorFont);
}

void toggleWordWrap(TForm1 &f, bool checkedNow)
{
    // A checkable entry has already turned its check mark when triggered.
    const bool wrap = f.pmuZBruch->isCheckable() ? checkedNow : !f.pmuZBruch->isChecked();
    f.pmuZBruch->setCheckable(true);
    f.pmuZBruch->setChecked(wrap);
    f.RichEdit1->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

} // namespace

void TForm1::connectDocumentCommands()
{
    QPlainTextEdit *ed = RichEdit1;
    for (QAction *a : {muCut, PmuCut})
        QObject::connect(a, &QAction::triggered, ed, &QPlainTextEdit::cut);
    for (QAction *a : {muCopy, PmuCopy})
        QObject::connect(a, &QAction::triggered, ed, &QPlainTextEdit::copy);
    for (QAction *a : {muPaste, PmuPaste})
        QObject::connect(a, &QAction::triggered, ed, &QPlainTextEdit::paste);
    QObject::connect(PmuClear, &QAction::triggered, ed, [ed] { ed->textCursor().removeSelectedText(); });
    QObject::connect(PmuMarkAll, &QAction::triggered, ed, &QPlainTextEdit::selectAll);
    QObject::connect(Neu1, &QAction::triggered, this, [this] {
        RichEdit1->clear();
        setCaption(*this, {});
    });
    QObject::connect(pmuOpen, &QAction::triggered, this, [this] { openDocument(*this); });
    QObject::connect(PmuSave, &QAction::triggered, this, [this] { saveDocument(*this); });
    QObject::connect(PmuSaveAs, &QAction::triggered, this, [this] { saveDocumentAs(*this); });
    QObject::connect(Drucken1, &QAction::triggered, this, [this] { printDocument(*this); });
    QObject::connect(pmuFont, &QAction::triggered, this, [this] { chooseFont(*this); });
    QObject::connect(pmuZBruch, &QAction::triggered, this, [this](bool checked) { toggleWordWrap(*this, checked); });
}
