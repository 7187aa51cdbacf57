#include "pgp/TfrmReadPGP.h"

#include "app/AppState.h"
#include "app/TextCatalog.h"
#include "ui/ApplyTexts.h"
#include "ui/Text.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

TfrmReadPGP::TfrmReadPGP(app::AppState &st, QWidget *parent) : QWidget(parent, Qt::Window), st_(st)
{
    setObjectName("frmReadPGP");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
                   | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    resize(435, 300);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setAccessibleName("PGP-Output");
    layout->addWidget(Memo1);
    // Key strokes reach the window before the text box.
    Memo1->installEventFilter(this);

    ui::applyControlTexts(this, app::germanTexts(app::Window::OutputViewer));
    if (st_.english())
        ui::applyControlTexts(this, app::englishTexts(app::Window::OutputViewer));

    // The text as it stands now; a missing file shows an empty box, since the
    // callers show the viewer precisely when PGP's run went wrong. A link
    // planted at the name (pgp's run could not write there) shows nothing.
    std::string bytes;
    try {
        if (st_.sys.fs)
            bytes = st_.sys.fs->readWorkingFile(st_.inAppDir("out.txt"));
    } catch (const std::exception &) {
    }
    QString text = ui::fromCp1252(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Memo1->setPlainText(text);
}

bool TfrmReadPGP::FormKeyPress(QKeyEvent *e)
{
    // Characters only: letters, digits, Enter, Escape, Backspace; arrows,
    // function keys and lone modifiers type none.
    if (e->text().isEmpty())
        return false;
    hide();
    return true;
}

bool TfrmReadPGP::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == Memo1 && e->type() == QEvent::KeyPress)
        return FormKeyPress(static_cast<QKeyEvent *>(e));
    // Escape and Enter arrive as shortcut overrides first; let them through
    // as key presses.
    if (watched == Memo1 && e->type() == QEvent::ShortcutOverride) {
        auto *k = static_cast<QKeyEvent *>(e);
        if (!k->text().isEmpty()) {
            e->accept();
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

void TfrmReadPGP::keyPressEvent(QKeyEvent *e)
{
    if (!FormKeyPress(e))
        QWidget::keyPressEvent(e);
}

void TfrmReadPGP::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    if (QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    raise();
    activateWindow();
}
