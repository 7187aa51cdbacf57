// The help window and the topic pop-up.
#include "platform/HelpTopic.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QMainWindow>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

#include <fstream>

namespace {

const char *kPage = "<html><head><meta charset=\"iso-8859-1\"></head><body>\n"
                    "<h1><a name=\"ctx10\"></a>Hilfethemen</h1><p>Inhalt der \xDC" "bersicht</p>\n"
                    "<h2><a name=\"ctx1\">Erster</a></h2><p>Eins</p>\n"
                    "<h2 id='ctx100'>Hundert</h2><p>Das Mantra</p>\n"
                    "</body></html>\n";

QMainWindow *helpWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == "HelpWindow" && w->isVisible())
            return qobject_cast<QMainWindow *>(w);
    return nullptr;
}

} // namespace

TEST(Help, TopicsAreCutBetweenAnchors)
{
    const std::string page = kPage;
    EXPECT_NE(platform::findHelpAnchor(page, 10), std::string::npos);
    EXPECT_NE(platform::findHelpAnchor(page, 100), std::string::npos);
    EXPECT_EQ(platform::findHelpAnchor(page, 11), std::string::npos);
    const std::string one = platform::helpTopicHtml(page, 1);
    EXPECT_EQ(one, "<a name=\"ctx1\">Erster</a></h2><p>Eins</p>\n");
    const std::string hundred = platform::helpTopicHtml(page, 100);
    EXPECT_EQ(hundred, "<h2 id='ctx100'>Hundert</h2><p>Das Mantra</p>\n");
    EXPECT_EQ(platform::helpTopicHtml(page, 10).find("Eins"), std::string::npos);
    EXPECT_TRUE(platform::helpTopicHtml(page, 7).empty());
}

TEST(Help, WindowOpensAtTheContextAndIsReused)
{
    QTemporaryDir tmp;
    const std::string file = tmp.path().toStdString() + "/Quorbix.html";
    {
        std::ofstream out(file, std::ios::binary);
        out << kPage;
    }
    auto &help = platform::systemHelpViewer();
    help.showContext(file, 10);
    QMainWindow *w = helpWindow();
    ASSERT_NE(w, nullptr);
    auto *browser = w->findChild<QTextBrowser *>("HelpBrowser");
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->source().fragment(), "ctx10");
    EXPECT_TRUE(browser->toPlainText().contains(QString::fromUtf8("Inhalt der Übersicht")));
    EXPECT_TRUE(w->statusBar()->currentMessage().isEmpty());

    help.showContext(file, 4711);
    EXPECT_EQ(helpWindow(), w);
    EXPECT_TRUE(w->statusBar()->currentMessage().contains("4711"));

    help.showPopup(file, 100);
    QWidget *popup = nullptr;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        for (QWidget *t : QApplication::topLevelWidgets())
            if (t->objectName() == "HelpPopup" && t->isVisible())
                popup = t;
        return popup != nullptr;
    }, 2000));
    ASSERT_NE(popup, nullptr);
    auto *text = popup->findChild<QTextBrowser *>("HelpPopupText");
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->toPlainText().contains("Das Mantra"));
    EXPECT_FALSE(text->toPlainText().contains("Eins"));
    popup->close();

    help.close(file);
    EXPECT_EQ(helpWindow(), nullptr);
    help.close(file); // closing twice is harmless

    help.showContext(tmp.path().toStdString() + "/Quorbixe.html", 10);
    w = helpWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->findChild<QTextBrowser *>("HelpBrowser")->toPlainText().contains("not found"));
    help.close(tmp.path().toStdString() + "/Quorbixe.html");
}
