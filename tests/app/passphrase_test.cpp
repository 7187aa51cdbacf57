// The pass phrase: its dialog, the request, clearing, the check commands
// make, and the argument RunPgp is given.
#include "app/TfrmMantra.h"
#include "pgp/RunPgp.h"
#include "support/FormFixture.h"
#include "support/ModalHelper.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using testsupport::FormFixture;
using testsupport::ModalAnswerer;

namespace {

// Types into the pass phrase dialog and presses one of its buttons.
ModalAnswerer::Action typeAndPress(const QString &text, const char *button, bool retype = true)
{
    return [=](QWidget *w) {
        auto *d = qobject_cast<TfrmMantra *>(w);
        if (!d)
            return false;
        if (retype)
            d->Edit1->setText(text);
        d->findChild<QPushButton *>(button)->click();
        return true;
    };
}

} // namespace

TEST(PassPhrase, DialogAsDesigned)
{
    FormFixture fx;
    TForm1 &f = fx.create();
    ASSERT_NE(f.frmMantra, nullptr); // created at start-up
    TfrmMantra &d = *f.frmMantra;
    EXPECT_EQ(d.windowTitle(), "Quorbix");
    EXPECT_EQ(d.Label1->text(), "Bitte geben Sie Ihr Mantra ein: ('Hilfe' für mehr Informationen )");
    EXPECT_EQ(d.Button2->text(), "Abbrechen");
    EXPECT_EQ(d.Button3->text(), "&Hilfe");
    EXPECT_TRUE(d.Button1->isDefault());
    EXPECT_EQ(d.Edit1->echoMode(), QLineEdit::Password);
    d.Edit1->setText("geheim");
    EXPECT_EQ(d.Edit1->displayText(), "******");
    EXPECT_FALSE(d.Edit1->accessibleName().isEmpty());
    EXPECT_FALSE(d.Button3->accessibleName().isEmpty());

    // Help opens context 900 and the dialog stays open.
    d.show();
    d.Button3->click();
    ASSERT_EQ(fx.help.calls.size(), 1u);
    EXPECT_EQ(fx.help.calls[0].kind, testsupport::FakeHelpViewer::Kind::Context);
    EXPECT_EQ(fx.help.calls[0].context, 900);
    EXPECT_TRUE(d.isVisible());
    d.hide();
}

TEST(PassPhrase, EnglishTexts)
{
    FormFixture fx(testsupport::normalSettings("English"));
    TForm1 &f = fx.create();
    EXPECT_EQ(f.frmMantra->Label1->text(), "Please type in your passphrase: (\"Help\" for further informations.)");
    EXPECT_EQ(f.frmMantra->Button2->text(), "Cancel");
    EXPECT_EQ(f.frmMantra->Button3->text(), "Help");
    EXPECT_EQ(f.frmMantra->windowTitle(), "Quorbix");
}

TEST(PassPhrase, StatesFromEnvironmentDialogAndClearing)
{
    FormFixture fx;
    fx.env.set("PGPPASS", "from env");
    TForm1 &f = fx.create();
    EXPECT_EQ(fx.st.passPhrase, "from env");
    EXPECT_FALSE(fx.st.sendPassPhrase);
    EXPECT_EQ(app::passPhraseArgument(fx.st), "");
    // With PGPPASS set a command that needs it asks for nothing.
    EXPECT_TRUE(f.ensurePassPhrase());
    EXPECT_FALSE(fx.st.sendPassPhrase);

    // Cancel keeps the environment's value; from now on it is sent.
    {
        ModalAnswerer answer(typeAndPress("typed", "Button2"));
        f.muMantraClick();
        EXPECT_EQ(answer.answered(), 1);
    }
    EXPECT_EQ(fx.st.passPhrase, "from env");
    EXPECT_TRUE(fx.st.sendPassPhrase);
    EXPECT_EQ(app::passPhraseArgument(fx.st), "-z \"from env\"");

    // OK takes the field; the field keeps it (masked) for the next showing.
    {
        ModalAnswerer answer(typeAndPress("ge\"heim", "Button1"));
        f.muMantraClick();
    }
    EXPECT_EQ(fx.st.passPhrase, "ge\"heim");
    EXPECT_EQ(app::passPhraseArgument(fx.st), "-z \"ge\"heim\""); // as it stands, no escaping
    EXPECT_EQ(f.frmMantra->Edit1->text(), "ge\"heim");

    // Clearing empties field and pass phrase; the argument stays, empty.
    f.muDelMantraClick();
    EXPECT_TRUE(f.frmMantra->Edit1->text().isEmpty());
    EXPECT_EQ(fx.st.passPhrase, "");
    EXPECT_TRUE(fx.st.sendPassPhrase);
    EXPECT_EQ(app::passPhraseArgument(fx.st), "-z \"\"");
    pgp::RunRequest list;
    list.options = "-kv ";
    list.captureOutput = 1;
    EXPECT_TRUE(pgp::buildInvocation(fx.st, list).sendPassPhrase);
    EXPECT_NE(pgp::displayCommandLine(fx.st, list).find(" -z \"***\" "), std::string::npos);
}

TEST(PassPhrase, CheckAbandonsWhenNothingComes)
{
    FormFixture fx;
    TForm1 &f = fx.create();
    EXPECT_EQ(fx.st.passPhrase, "");
    // Confirming an empty field: the command is abandoned, the flag set.
    {
        ModalAnswerer answer(typeAndPress("", "Button1"));
        EXPECT_FALSE(f.ensurePassPhrase());
        EXPECT_EQ(answer.answered(), 1);
    }
    EXPECT_TRUE(fx.st.sendPassPhrase);
    // Typed and confirmed: the command goes on.
    {
        ModalAnswerer answer(typeAndPress("secret", "Button1"));
        EXPECT_TRUE(f.ensurePassPhrase());
    }
    EXPECT_EQ(fx.st.passPhrase, "secret");
    // Windows Latin-1 has the euro sign: pgp gets its byte.
    f.muDelMantraClick();
    {
        ModalAnswerer answer(typeAndPress(QString::fromUtf8("5 \u20AC"), "Button1"));
        EXPECT_TRUE(f.ensurePassPhrase());
    }
    EXPECT_EQ(fx.st.passPhrase, "5 \x80");
    // A character PGP cannot be given in Windows Latin-1 keeps the dialog
    // open and the old pass phrase; Cancel then leaves it as it was.
    f.muDelMantraClick();
    {
        ModalAnswerer answer(
            [n = 0](QWidget *w) mutable {
                auto *d = qobject_cast<TfrmMantra *>(w);
                if (!d)
                    return false;
                if (n++ == 0) {
                    d->Edit1->setText(QString::fromUtf8("5 \u042F"));
                    d->Button1->click();
                    return true;
                }
                d->Button2->click();
                return true;
            },
            2);
        EXPECT_FALSE(f.ensurePassPhrase());
        EXPECT_EQ(answer.answered(), 2);
    }
    EXPECT_EQ(fx.st.passPhrase, "");
    ASSERT_FALSE(fx.dialogs.shown.empty());
    EXPECT_EQ(fx.dialogs.shown.back().kind, "error");
}

TEST(PassPhrase, MenuEntriesConnected)
{
    FormFixture fx;
    TForm1 &f = fx.create();
    fx.st.passPhrase = "x";
    f.muDelMantra->trigger();
    EXPECT_EQ(fx.st.passPhrase, "");
    EXPECT_TRUE(fx.st.sendPassPhrase);
    ModalAnswerer answer(typeAndPress("menu", "Button1"));
    f.muMantra->trigger();
    EXPECT_EQ(fx.st.passPhrase, "menu");
}
