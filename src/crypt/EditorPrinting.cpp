#include "crypt/EditorPrinting.h"

#include <QAbstractTextDocumentLayout>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <memory>

namespace cryptcmd {

std::function<bool(QFont &)> &fontDialogHook()
{
    static std::function<bool(QFont &)> hook;
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
