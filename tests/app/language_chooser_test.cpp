// The first-start language chooser: German preselected, English selectable,
// no way out without a choice.
#include "app/TFormLanguage.h"
#include "support/ModalHelper.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>

TEST(LanguageChooser, LooksAsDesignedAndStartsGerman)
{
    TFormLanguage dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Sprache / Language"));
    EXPECT_FALSE(dlg.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(dlg.rbGerman->isChecked());
    EXPECT_FALSE(dlg.rbEnglish->isChecked());
    EXPECT_EQ(dlg.rbGerman->text(), QStringLiteral("Deutsch"));
    EXPECT_EQ(dlg.rbEnglish->text(), QStringLiteral("English"));
    EXPECT_EQ(dlg.BitBtn1->text(), QStringLiteral("OK"));
    EXPECT_EQ(dlg.rbGerman->accessibleName(), QStringLiteral("Deutsch"));
    EXPECT_EQ(dlg.rbEnglish->accessibleName(), QStringLiteral("English"));
    EXPECT_EQ(dlg.BitBtn1->accessibleName(), QStringLiteral("OK"));
    EXPECT_EQ(dlg.language(), "Deutsch");

    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    const QPoint centre = dlg.screen()->availableGeometry().center();
    EXPECT_LE((dlg.frameGeometry().center() - centre).manhattanLength(), 4);
    // Fixed size: the layout does not let it grow.
    EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
    // Yet wide enough for its caption in a bold title bar beside the
    // window manager's buttons (it was cut to "..." under openbox).
    QFont bold = dlg.font();
    bold.setBold(true);
    EXPECT_GE(dlg.width(), QFontMetrics(bold).horizontalAdvance(dlg.windowTitle()) + 100);
}

TEST(LanguageChooser, ChooseReturnsTheSelection)
{
    auto german = std::make_unique<testsupport::ModalAnswerer>([](QWidget *w) {
        auto *d = qobject_cast<TFormLanguage *>(w);
        if (!d)
            return false;
        d->BitBtn1->click();
        return true;
    });
    EXPECT_EQ(TFormLanguage::choose(), "Deutsch");
    EXPECT_EQ(german->answered(), 1);
    EXPECT_FALSE(german->fallbacks() > 0);

    auto english = std::make_unique<testsupport::ModalAnswerer>([](QWidget *w) {
        auto *d = qobject_cast<TFormLanguage *>(w);
        if (!d)
            return false;
        QTest::mouseClick(d->rbEnglish, Qt::LeftButton);
        d->BitBtn1->click();
        return true;
    });
    EXPECT_EQ(TFormLanguage::choose(), "English");
    EXPECT_FALSE(english->fallbacks() > 0);
}

TEST(LanguageChooser, EscapeAndCloseRequestsKeepItOpen)
{
    int attempts = 0;
    auto answer = std::make_unique<testsupport::ModalAnswerer>([&attempts](QWidget *w) {
        auto *d = qobject_cast<TFormLanguage *>(w);
        if (!d)
            return false;
        if (attempts == 0) {
            QTest::keyClick(d, Qt::Key_Escape);
            d->close();
            d->reject();
        } else {
            // Still there after all of those; now pick English with the keyboard.
            EXPECT_TRUE(d->isVisible());
            d->rbEnglish->setChecked(true);
            QTest::keyClick(d->BitBtn1, Qt::Key_Return);
        }
        return ++attempts == 2;
    });
    EXPECT_EQ(TFormLanguage::choose(), "English");
    EXPECT_EQ(attempts, 2);
    EXPECT_FALSE(answer->fallbacks() > 0);
}
