// The seventeen command buttons: a right release opens the setup dialog for
// the button's record, any other release runs the record.
#include "app/TForm1.h"
#include "buttons/ButtonRecord.h"
#include "buttons/TFormButtSetup.h"
#include "keys/MakeIdBatch.h"
#include "pgp/LaunchFile.h"
#include "pgp/RunPgp.h"
#include "ui/Cursor.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStackedWidget>

namespace {

// Runs bu1MouseUp on a mouse release and only then: keyboard activation of a
// command button (Enter, space, its access key) runs nothing.
class ButtonReleaseFilter : public QObject {
public:
    explicit ButtonReleaseFilter(TForm1 &form) : QObject(&form), form_(form) {}

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() != QEvent::MouseButtonRelease)
            return false;
        auto *b = qobject_cast<QPushButton *>(watched);
        if (!b)
            return false;
        const Qt::MouseButton button = static_cast<QMouseEvent *>(e)->button();
        // The button comes up first, then the command runs (it may wait long).
        static_cast<QObject *>(b)->event(e);
        form_.bu1MouseUp(b, button);
        return true;
    }

private:
    TForm1 &form_;
};

std::string pathBytes(const QString &path) { return QFile::encodeName(path).toStdString(); }

QString latin1(const std::string &s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

} // namespace

void TForm1::connectButtonCommands()
{
    auto *filter = new ButtonReleaseFilter(*this);
    for (QPushButton *b : bu)
        b->installEventFilter(filter);
    // The pass phrase entries of the "&Projekt" menu.
    connect(muMantra, &QAction::triggered, this, [this] { muMantraClick(); });
    connect(muDelMantra, &QAction::triggered, this, [this] { muDelMantraClick(); });
}

void TForm1::bu1MouseUp(QPushButton *sender, Qt::MouseButton button)
{
    if (st_.commandBusy)
        return;
    int n = sender->property("Tag").toInt() & 0xFF;
    // A damaged button file can carry any number; the button's own place
    // then selects the record instead of a record outside the table.
    if (n < 1 || n > buttons::kButtonCount) {
        n = 0;
        for (int i = 0; i < buttons::kButtonCount; ++i)
            if (bu[i] == sender)
                n = i + 1;
        if (n == 0)
            return;
    }

    if (button == Qt::RightButton) {
        if (!FormButtSetup)
            FormButtSetup = new TFormButtSetup(*this);
        FormButtSetup->showFor(n);
        return;
    }

    const QString remembered = StatusPanel0->text();
    StatusPanel0->setText(QString::fromStdString(st_.texts.msg(app::Msg::PleaseWait)));
    ui::setBusyCursor();
    st_.commandBusy = true;
    try {
        RunButton(n);
        if (st_.buttons[std::size_t(n - 1)].refreshUserList)
            keys::RunMakeIdBatch(st_);
    } catch (const platform::PlatformError &e) {
        st_.dialogs->platformError(e.what());
    } catch (const std::exception &e) {
        st_.dialogs->platformError(e.what());
    }
    st_.commandBusy = false;
    ui::restoreDefaultCursor();
    setEnabled(true);
    StatusPanel0->setText(remembered);
}

void TForm1::RunButton(int n)
{
    const buttons::ButtonRecord &rec = st_.buttons[std::size_t(n - 1)];
    st_.recipientSpec.clear();
    if (rec.command.empty())
        return;

    if (rec.recipient) {
        ChooseRecipient();
        // A following file dialog proposes the chosen key as file name.
        SaveDialog1.fileName = latin1(st_.recipientSpec);
        OpenDialog1.fileName = latin1(st_.recipientSpec);
        if (st_.recipientSpec.empty())
            return;
    }
    std::string file;
    if (rec.saveDialog) {
        if (!SaveDialog1.execute(this))
            return;
        file = pathBytes(SaveDialog1.fileName);
    }
    if (rec.openDialog) {
        if (!OpenDialog1.execute(this))
            return;
        file = pathBytes(OpenDialog1.fileName);
    }

    pgp::SetCloseOnExit(st_, rec.closeOnExit);
    st_.processEvents();
    if (n == 10 && !ensurePassPhrase())
        return;

    pgp::RunRequest req;
    req.options = rec.command + " ";
    req.operand1 = st_.recipientSpec + " ";
    if (file.empty()) {
        req.operand2 = " ";
    } else {
        // One argument for pgp, exactly the chosen name; the blank after it
        // only separates it on the composed line.
        req.operand2 = file;
        req.operand2Separator = " ";
        req.operand2IsFile = true;
    }
    req.captureOutput = rec.outProgram ? 1 : 0;
    req.outputFile = rec.outputFile;
    req.windowMode = rec.windowMode;
    pgp::RunPgp(st_, req);

    if (rec.outProgram) {
        loadEditorFromFile(st_.inAppDir("out.txt"));
        Notebook1->setCurrentIndex(0);
        StatusPanel1->clear();
    }
}
