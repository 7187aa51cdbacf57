// Laying texts over a widget tree by object name; hint splitting; shortcuts;
// the busy cursor's balance.
#include "ui/ApplyTexts.h"
#include "app/TextCatalog.h"
#include "ui/Cursor.h"
#include "ui/Text.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>

TEST(Hints, ShortAndLongParts)
{
    EXPECT_EQ(ui::shortHint("Tip|Status line"), "Tip");
    EXPECT_EQ(ui::longHint("Tip|Status line"), "Status line");
    EXPECT_EQ(ui::shortHint("Both"), "Both");
    EXPECT_EQ(ui::longHint("Both"), "Both");
    EXPECT_EQ(ui::shortHint("Tooltip only|"), "Tooltip only");
    EXPECT_EQ(ui::longHint("Tooltip only|"), "");
    EXPECT_EQ(ui::shortHint("|Line only"), "");
    EXPECT_EQ(ui::longHint("|Line only"), "Line only");
    // Only the first bar splits.
    EXPECT_EQ(ui::longHint("a|b|c"), "b|c");
    EXPECT_EQ(ui::shortHint(""), "");
    EXPECT_EQ(ui::longHint(""), "");
}

TEST(ApplyTexts, SetsCaptionsHintsAndAccessibleNamesByObjectName)
{
    QWidget root;
    root.setObjectName("TForm9");
    auto *button = new QPushButton("alt", &root);
    button->setObjectName("buGo");
    auto *group = new QGroupBox(&root);
    group->setObjectName("GroupBox1");
    auto *box = new QCheckBox(group);
    box->setObjectName("CheckBox1");
    box->setToolTip("keep me");
    auto *label = new QLabel(&root);
    label->setObjectName("Label1");
    auto *edit = new QLineEdit(&root);
    edit->setObjectName("edPath");
    auto *menu = new QMenu(&root);
    menu->setObjectName("Datei1");
    QAction *act = menu->addAction("old");
    act->setObjectName("muOpen");
    auto *tabs = new QTabWidget(&root);
    auto *page = new QWidget;
    page->setObjectName("TabSheet1");
    tabs->addTab(page, "x");

    const std::vector<app::ControlText> texts = {
        {"", "Fenster", nullptr},
        {"buGo", "&Los && weg", "Kurz|Lang"},
        {"GroupBox1", " Optionen ", nullptr},
        {"CheckBox1", "Textmode", nullptr},
        {"Label1", "Pfad zu PGP.exe :", nullptr},
        {"edPath", nullptr, "Nur Tooltip|"},
        {"Datei1", "Datei", "Menühinweis"},
        {"muOpen", "&Öffnen...", "Öffnet eine Datei"},
        {"TabSheet1", "Setup", nullptr},
        {"NoSuchControl", "ignored", "ignored"},
    };
    ui::applyControlTexts(&root, texts);

    EXPECT_EQ(root.windowTitle(), QStringLiteral("Fenster"));
    EXPECT_EQ(button->text(), QStringLiteral("&Los && weg"));
    EXPECT_EQ(button->accessibleName(), QStringLiteral("Los & weg"));
    EXPECT_EQ(button->toolTip(), QStringLiteral("Kurz"));
    EXPECT_EQ(button->statusTip(), QStringLiteral("Lang"));
    EXPECT_EQ(group->title(), QStringLiteral(" Optionen "));
    EXPECT_EQ(box->text(), QStringLiteral("Textmode"));
    EXPECT_EQ(box->toolTip(), QStringLiteral("keep me")); // null hint: untouched
    EXPECT_EQ(label->text(), QStringLiteral("Pfad zu PGP.exe :"));
    EXPECT_EQ(label->accessibleName(), QStringLiteral("Pfad zu PGP.exe :"));
    EXPECT_EQ(edit->toolTip(), QStringLiteral("Nur Tooltip"));
    EXPECT_EQ(edit->statusTip(), QString());
    EXPECT_EQ(menu->title(), QStringLiteral("Datei"));
    EXPECT_EQ(menu->menuAction()->statusTip(), QString::fromUtf8("Menühinweis"));
    EXPECT_EQ(act->text(), QString::fromUtf8("&Öffnen..."));
    EXPECT_EQ(act->toolTip(), QString::fromUtf8("Öffnet eine Datei"));
    EXPECT_EQ(act->statusTip(), QString::fromUtf8("Öffnet eine Datei"));
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Setup"));

    EXPECT_EQ(ui::missingControls(&root, texts), std::vector<std::string>{"NoSuchControl"});

    // A second table over the first: only what it names changes.
    ui::applyControlTexts(&root, {{"buGo", "&Go", nullptr}, {"muOpen", nullptr, "Opens a file."}});
    EXPECT_EQ(button->text(), QStringLiteral("&Go"));
    EXPECT_EQ(button->toolTip(), QStringLiteral("Kurz"));
    EXPECT_EQ(act->text(), QString::fromUtf8("&Öffnen..."));
    EXPECT_EQ(act->statusTip(), QStringLiteral("Opens a file."));
}

TEST(ApplyTexts, CatalogueTablesAndShortcutsOnAMenuTree)
{
    // The main window's menus as actions: the English table and shortcut
    // change reach them by name.
    QWidget root;
    auto *menu = new QMenu(&root);
    menu->setObjectName("Projekt1");
    QAction *quit = menu->addAction("x");
    quit->setObjectName("muQuit");
    QAction *clear = menu->addAction("y");
    clear->setObjectName("muDelMantra");

    ui::applyControlTexts(&root, app::germanTexts(app::Window::MainWindow));
    ui::applyShortcuts(&root, app::germanShortcuts(app::Window::MainWindow));
    EXPECT_EQ(quit->text(), QStringLiteral("&Beenden"));
    EXPECT_EQ(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_B));
    EXPECT_EQ(clear->text(), QString::fromUtf8("&Lösche  Mantra"));
    EXPECT_EQ(clear->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    EXPECT_EQ(menu->title(), QStringLiteral("&Projekt"));

    ui::applyControlTexts(&root, app::englishTexts(app::Window::MainWindow));
    ui::applyShortcuts(&root, app::englishShortcuts(app::Window::MainWindow));
    EXPECT_EQ(quit->text(), QStringLiteral("&Quit"));
    EXPECT_EQ(quit->statusTip(), QStringLiteral("Quits Quorbix and saves the setup to the registry."));
    EXPECT_EQ(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(clear->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L)); // unchanged
    EXPECT_EQ(menu->title(), QStringLiteral("&Project"));
}

TEST(UiText, Utf8WithLatin1FallbackAndAccessKeys)
{
    EXPECT_EQ(ui::toQString(std::string("Schl\xC3\xBCssel")), QString::fromUtf8("Schlüssel"));
    // A Latin-1 file name from the core is not UTF-8: shown as Latin-1.
    EXPECT_EQ(ui::toQString(std::string("Datei \xE4.txt")), QString::fromUtf8("Datei ä.txt"));
    EXPECT_EQ(ui::toQString(static_cast<const char *>(nullptr)), QString());
    EXPECT_EQ(ui::withoutAccessKey("Signie&ren"), QStringLiteral("Signieren"));
    EXPECT_EQ(ui::withoutAccessKey("A&&B&"), QStringLiteral("A&B"));
}

TEST(BusyCursor, SetAndRestoreStayBalanced)
{
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    {
        ui::BusyCursor busy;
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    ui::restoreDefaultCursor(); // without a busy cursor: nothing to undo
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ui::setBusyCursor();
    ui::setBusyCursor();
    EXPECT_TRUE(ui::busyCursorShown());
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    ui::restoreDefaultCursor();
    EXPECT_FALSE(ui::busyCursorShown());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

#include "ui/ProgramIcon.h"

TEST(ProgramIcon, DecodesAtEverySize)
{
    const QPixmap full = ui::programPixmap();
    ASSERT_FALSE(full.isNull());
    EXPECT_EQ(full.size(), QSize(64, 64));
    EXPECT_EQ(ui::programPixmap(32).size(), QSize(32, 32));
    // Corners are transparent, the middle is drawn.
    const QImage img = full.toImage();
    EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(img.pixel(32, 40)), 255);
    EXPECT_FALSE(ui::programIcon().isNull());
}
