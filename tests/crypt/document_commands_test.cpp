// The editor's document commands on a main window over fakes.
#include "crypt/EditorPrinting.h"
#include "crypt/EditorFont.h"
#include "support/FormFixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using testsupport::FormFixture;

namespace {

struct DocFixture : FormFixture {
    TForm1 *f = nullptr;
    struct Asked {
        app::FileDialog::Mode mode;
        QString title;
        int filterIndex;
    };
    std::vector<Asked> asked;
    QString answer; // empty: cancel
    explicit DocFixture(const std::string &settings = testsupport::normalSettings()) : FormFixture(settings)
    {
        fs.mkdirs("/docs");
        f = &create();
        app::FileDialog::testHook() = [this](app::FileDialog &d) {
            asked.push_back({d.mode(), d.title, d.filterIndex});
            if (answer.isEmpty())
                return false;
            d.fileName = answer;
            return true;
        };
    }
    ~DocFixture() { app::FileDialog::testHook() = nullptr; }
};

const QString kVersion = "QUORBIX Version 2.0";

} // namespace

TEST(DocumentCommands, OpenSaveAndCaption)
{
    DocFixture fx;
    TForm1 &f = *fx.f;
    fx.fs.addFile("/docs/my letter.txt", "Sehr geehrte Damen\r\nund Herren \xE4\r\n");

    fx.answer = "/docs/my letter.txt";
    f.SaveDialog1.fileName = "/docs/remembered.txt";
    f.pmuOpen->trigger();
    ASSERT_EQ(fx.asked.size(), 1u);
    EXPECT_EQ(fx.asked[0].mode, app::FileDialog::Mode::Open);
    EXPECT_EQ(fx.asked[0].filterIndex, 2); // the text filter
    EXPECT_EQ(f.RichEdit1->toPlainText(), QString::fromUtf8("Sehr geehrte Damen\nund Herren ä"));
    EXPECT_EQ(f.windowTitle(), kVersion + " - my letter.txt");
    EXPECT_TRUE(f.SaveDialog1.fileName.isEmpty());

    // Opening emptied the remembered name, so saving asks first.
    fx.answer = "/docs/copy.txt";
    f.PmuSave->trigger();
    ASSERT_EQ(fx.asked.size(), 2u);
    EXPECT_EQ(fx.asked[1].mode, app::FileDialog::Mode::Save);
    EXPECT_EQ(fx.asked[1].filterIndex, 2);
    EXPECT_EQ(fx.fs.content("/docs/copy.txt"), "Sehr geehrte Damen\r\nund Herren \xE4\r\n");
    EXPECT_EQ(fx.fs.content("/docs/my letter.txt"), "Sehr geehrte Damen\r\nund Herren \xE4\r\n");
    EXPECT_EQ(f.windowTitle(), kVersion + " - my letter.txt"); // saving keeps the caption

    // Save as, new, type, save: replaces that file without a question.
    fx.answer = "/docs/saved.txt";
    f.PmuSaveAs->trigger();
    ASSERT_EQ(fx.asked.size(), 3u);
    EXPECT_EQ(fx.asked[2].title, "Textdatei speichern");
    f.Neu1->trigger();
    EXPECT_EQ(f.RichEdit1->toPlainText(), "");
    EXPECT_EQ(f.windowTitle(), kVersion);
    f.RichEdit1->setPlainText("new text");
    f.PmuSave->trigger();
    EXPECT_EQ(fx.asked.size(), 3u);
    EXPECT_EQ(fx.fs.content("/docs/saved.txt"), "new text\r\n");
    // The title stays for later uses of the save dialog.
    EXPECT_EQ(f.SaveDialog1.title, "Textdatei speichern");

    // Open cancelled: nothing changes.
    fx.answer.clear();
    f.pmuOpen->trigger();
    EXPECT_EQ(f.RichEdit1->toPlainText(), "new text");
    EXPECT_EQ(f.SaveDialog1.fileName, "/docs/saved.txt");
}

TEST(DocumentCommands, FailuresLoseNothing)
{
    DocFixture fx;
    TForm1 &f = *fx.f;
    f.RichEdit1->setPlainText("unsaved work");
    f.SaveDialog1.fileName = "/docs/remembered.txt";
    fx.answer = "/docs/missing.txt";
    f.pmuOpen->trigger();
    ASSERT_EQ(fx.dialogs.shown.size(), 1u);
    EXPECT_EQ(fx.dialogs.shown[0].text, "Kann Datei /docs/missing.txt nicht öffnen.");
    EXPECT_EQ(f.RichEdit1->toPlainText(), "unsaved work");
    EXPECT_EQ(f.SaveDialog1.fileName, "/docs/remembered.txt");
    EXPECT_EQ(f.windowTitle(), kVersion);

    // Text outside Latin-1: said so, nothing written, the old file intact.
    fx.fs.addFile("/docs/remembered.txt", "old\r\n");
    f.RichEdit1->setPlainText(QString::fromUtf8("\u0141\u00F3d\u017A"));
    f.PmuSave->trigger();
    ASSERT_EQ(fx.dialogs.shown.size(), 2u);
    EXPECT_NE(fx.dialogs.shown[1].text.find("Latin-1"), std::string::npos);
    EXPECT_EQ(fx.fs.content("/docs/remembered.txt"), "old\r\n");

    // A file that cannot be created; the confirmed name is remembered anyway.
    f.RichEdit1->setPlainText("text");
    fx.fs.readOnlyDirs.insert("/ro");
    fx.fs.mkdirs("/ro");
    fx.answer = "/ro/out.txt";
    f.PmuSaveAs->trigger();
    ASSERT_EQ(fx.dialogs.shown.size(), 3u);
    EXPECT_EQ(fx.dialogs.shown[2].text, "Kann Datei /ro/out.txt nicht erstellen.");
    EXPECT_EQ(f.SaveDialog1.fileName, "/ro/out.txt");
}

TEST(DocumentCommands, PrintWithoutDefaultPrinter)
{
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "this machine has a default printer";
    DocFixture fx;
    fx.f->RichEdit1->setPlainText("print me");
    fx.f->Drucken1->trigger();
    ASSERT_EQ(fx.dialogs.shown.size(), 1u);
    EXPECT_EQ(fx.dialogs.shown[0].text, "Zur Zeit ist kein Standard-Drucker gewählt");
}

TEST(DocumentCommands, PrintsAllPages)
{
    QTemporaryDir dir;
    QPlainTextEdit ed;
    QString text;
    for (int i = 0; i < 400; ++i)
        text += QStringLiteral("Zeile %1\n").arg(i);
    ed.setPlainText(text);
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("out.pdf"));
    cryptcmd::printEditorText(&ed, printer);
    QFile pdf(dir.filePath("out.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_GT(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "), 3);
    EXPECT_TRUE(printer.fullPage());
}

TEST(DocumentCommands, EditingFontAndWordWrap)
{
    // Word wrap stored as off: the first click turns it on and checks the entry.
    DocFixture fx(testsupport::normalSettings() + "\"Wordwrap\"=\"0\"\r\n");
    TForm1 &f = *fx.f;
    ASSERT_FALSE(f.pmuZBruch->isChecked());
    EXPECT_EQ(f.RichEdit1->lineWrapMode(), QPlainTextEdit::NoWrap);
    f.pmuZBruch->trigger();
    EXPECT_TRUE(f.pmuZBruch->isChecked());
    EXPECT_EQ(f.RichEdit1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    f.pmuZBruch->trigger();
    EXPECT_FALSE(f.pmuZBruch->isChecked());
    EXPECT_EQ(f.RichEdit1->lineWrapMode(), QPlainTextEdit::NoWrap);

    // Select all, copy, clear, paste.
    f.RichEdit1->setPlainText("abc def");
    f.PmuMarkAll->trigger();
    EXPECT_EQ(f.RichEdit1->textCursor().selectedText(), "abc def");
    f.muCopy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "abc def");
    QApplication::clipboard()->setText("other");
    f.PmuClear->trigger();
    EXPECT_EQ(f.RichEdit1->toPlainText(), "");
    EXPECT_EQ(QApplication::clipboard()->text(), "other"); // clear leaves the clipboard
    f.PmuPaste->trigger();
    EXPECT_EQ(f.RichEdit1->toPlainText(), "other");
    f.PmuMarkAll->trigger();
    f.muCut->trigger();
    EXPECT_EQ(f.RichEdit1->toPlainText(), "");
    EXPECT_EQ(QApplication::clipboard()->text(), "other");

    // Font: the chosen font goes into the editor and into the stored record.
    cryptcmd::fontDialogHook() = [](QFont &font) {
        font = QFont("DejaVu Serif");
        font.setPointSize(14);
        font.setItalic(true);
        return true;
    };
    f.pmuFont->trigger();
    cryptcmd::fontDialogHook() = [](QFont &) { return false; };
    EXPECT_EQ(fx.st.editorFont.name(), "DejaVu Serif");
    EXPECT_EQ(fx.st.editorFont.size(), 14);
    EXPECT_EQ(fx.st.editorFont.style(), 2);
    EXPECT_EQ(f.RichEdit1->font().pointSize(), 14);
    EXPECT_TRUE(f.RichEdit1->font().italic());
    // Cancelled: nothing changes.
    const auto before = fx.st.editorFont.bytes;
    f.pmuFont->trigger();
    EXPECT_EQ(fx.st.editorFont.bytes, before);
    cryptcmd::fontDialogHook() = nullptr;
}
