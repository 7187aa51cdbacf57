// The "Ready !" notice.
#include "browser/TForm2.h"

#include <QApplication>
#include <QLabel>

#include <gtest/gtest.h>

TEST(ReadyNotice, ShowsForHalfASecondAndGoes)
{
    QWidget owner;
    TForm2 probe(&owner);
    EXPECT_EQ(probe.size(), QSize(112, 33));
    EXPECT_EQ(probe.Panel1->text(), "Ready !");
    EXPECT_TRUE(probe.Panel1->font().bold());
    EXPECT_EQ(probe.Panel1->font().pixelSize(), 13);
    EXPECT_EQ(probe.Panel1->lineWidth(), 3);
    EXPECT_TRUE(probe.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(probe.windowFlags() & Qt::WindowStaysOnTopHint);

    int slept = 0;
    bool visibleWhileAsleep = false;
    auto saved = TForm2::sleepHook();
    TForm2::sleepHook() = [&](int ms) {
        slept = ms;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w != &probe && dynamic_cast<TForm2 *>(w) && w->isVisible())
                visibleWhileAsleep = true;
    };
    TForm2::showFor500ms(&owner);
    TForm2::sleepHook() = saved;
    EXPECT_EQ(slept, 500);
    EXPECT_TRUE(visibleWhileAsleep);
    for (QWidget *w : QApplication::topLevelWidgets())
        EXPECT_TRUE(w == &probe || !dynamic_cast<TForm2 *>(w)); // destroyed again
}
