#include "app/TfrmMantra.h"

#include "app/AppState.h"
#include "app/TextCatalog.h"
#include "ui/ApplyTexts.h"
#include "ui/ContextHelp.h"
#include "ui/Text.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

namespace {

// The field shows every character as "*", whatever the style's own mask is.
class StarMaskStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *ret) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        if (hint == SH_LineEdit_PasswordMaskDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
};

} // namespace

namespace app {

std::string passPhraseArgument(const AppState &st)
{
    if (!st.sendPassPhrase)
        return {};
    return "-z \"" + st.passPhrase + "\"";
}

} // namespace app

TfrmMantra::TfrmMantra(app::AppState &st, QWidget *parent) : QDialog(parent), st_(st)
{
    setObjectName("frmMantra");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(330, 100);

    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(10, 8, 310, 32);
    Label1->setWordWrap(true);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Edit1->setGeometry(10, 42, 310, 22);
    Edit1->setEchoMode(QLineEdit::Password);
    auto *mask = new StarMaskStyle;
    mask->setParent(Edit1);
    Edit1->setStyle(mask);
    Label1->setBuddy(Edit1);

    auto button = [&](QPushButton *&member, const char *name, int x) {
        member = new QPushButton(this);
        member->setObjectName(name);
        member->setGeometry(x, 70, 75, 24);
        member->setAutoDefault(false);
    };
    button(Button1, "Button1", 85);
    button(Button2, "Button2", 165);
    button(Button3, "Button3", 245);
    Button1->setDefault(true);

    ui::applyControlTexts(this, app::germanTexts(app::Window::PassPhrase));
    if (st_.english())
        ui::applyControlTexts(this, app::englishTexts(app::Window::PassPhrase));
    Edit1->setAccessibleName(Label1->text());

    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    new ui::ContextHelp(this, st_.sys.help, [this] { return st_.helpFile; },
                        app::helpContexts(app::Window::PassPhrase));
}

void TfrmMantra::Button1Click()
{
    // PGP is told +CharSet=Latin1: a character it cannot be given would turn
    // into another and make a pass phrase nobody typed.
    std::string bytes;
    if (!ui::toCp1252(Edit1->text(), bytes)) {
        if (st_.dialogs)
            st_.dialogs->errorBox(st_.english()
                                      ? "The passphrase holds characters outside Windows Latin-1."
                                      : "Das Mantra enthält Zeichen außerhalb von Windows-Latin-1.");
        Edit1->setFocus();
        return;
    }
    st_.passPhrase = bytes;
    accept();
}

void TfrmMantra::Button3Click()
{
    if (st_.sys.help)
        st_.sys.help->showContext(st_.helpFile, app::helpctx::PassPhrase);
}

void TfrmMantra::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    Edit1->setFocus();
}
