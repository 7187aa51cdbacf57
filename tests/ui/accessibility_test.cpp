// What a screen reader reads: every window of the program walked through
// Qt's accessibility interfaces, as an assistive-technology client sees them.
// Each visible control must be reachable in the tree and say the text it
// shows: captions as names, field contents as values, and fields without a
// caption of their own named after their label.
#include "app/TFormLanguage.h"
#include "app/TfrmMantra.h"
#include "browser/TForm2.h"
#include "buttons/TFormButtSetup.h"
#include "diag/DiagWindows.h"
#include "keys/TForm4.h"
#include "pgp/TForm5.h"
#include "pgp/TfrmReadPGP.h"
#include "settings/TForm7.h"
#include "support/FormFixture.h"
#include "ui/FontDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

struct Seen {
    QString name, value;
};

void walk(QAccessibleInterface *iface, std::map<QObject *, Seen> &out, int depth = 0)
{
    if (!iface || !iface->isValid() || depth > 40)
        return;
    if (QObject *o = iface->object())
        out.emplace(o, Seen{iface->text(QAccessible::Name), iface->text(QAccessible::Value)});
    for (int i = 0; i < iface->childCount(); ++i)
        walk(iface->child(i), out, depth + 1);
}

QString plain(QString s)
{
    s.remove(QRegularExpression("&(?!&)"));
    return s.simplified();
}

// The text a control shows, as a reader should hear it; empty when it shows
// none of its own.
QString shownCaption(QWidget *w)
{
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->text() == "..." || b->text() == "?" ? QString() : plain(b->text());
    if (auto *l = qobject_cast<QLabel *>(w))
        return l->pixmap().isNull() ? plain(l->text()) : QString();
    if (auto *g = qobject_cast<QGroupBox *>(w))
        return plain(g->title());
    return {};
}

bool isField(QWidget *w)
{
    return qobject_cast<QLineEdit *>(w) || qobject_cast<QPlainTextEdit *>(w) || qobject_cast<QComboBox *>(w) ||
           qobject_cast<QAbstractItemView *>(w) || qobject_cast<QProgressBar *>(w);
}

// Checks one window; returns how many controls it looked at.
int checkWindow(QWidget *window, const char *what)
{
    SCOPED_TRACE(what);
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    std::map<QObject *, Seen> seen;
    walk(QAccessible::queryAccessibleInterface(window), seen);
    EXPECT_FALSE(seen.empty());
    if (!window->windowTitle().isEmpty()) {
        EXPECT_EQ(seen[window].name.toStdString(), window->windowTitle().toStdString()) << "the window's title";
    }

    int checked = 0;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisibleTo(window) || w->window() != window || w->objectName().startsWith("qt_"))
            continue;
        // Parts of Qt's composite widgets (a spin box's line edit, a scroll
        // bar) speak through their owner.
        if (qobject_cast<QHeaderView *>(w))
            continue; // the table's interface reads its header cells
        if (w->parentWidget() && (qobject_cast<QComboBox *>(w->parentWidget()) ||
                                  qobject_cast<QAbstractItemView *>(w->parentWidget()->parentWidget())))
            continue;
        const QString caption = shownCaption(w);
        if (caption.isEmpty() && !isField(w) && !qobject_cast<QAbstractButton *>(w) && !qobject_cast<QTabBar *>(w))
            continue;
        ++checked;
        const std::string id = (w->metaObject()->className() + QString(" ") + w->objectName()).toStdString();
        auto it = seen.find(w);
        if (it == seen.end()) {
            ADD_FAILURE() << id << " cannot be reached by a screen reader";
            continue;
        }
        const Seen &s = it->second;
        if (!caption.isEmpty()) {
            EXPECT_TRUE(plain(s.name).contains(caption) || plain(s.value).contains(caption))
                << id << " shows \"" << caption.toStdString() << "\" but is read as \"" << s.name.toStdString()
                << "\"";
        }
        if (qobject_cast<QAbstractButton *>(w)) {
            EXPECT_FALSE(s.name.isEmpty()) << id << " is a button without a name";
        }
        if (isField(w) && !qobject_cast<QProgressBar *>(w)) {
            EXPECT_FALSE(s.name.isEmpty()) << id << " is a field without a name";
        }
        if (auto *e = qobject_cast<QLineEdit *>(w); e && e->echoMode() == QLineEdit::Normal) {
            EXPECT_EQ(s.value, e->text()) << id;
        }
        if (auto *c = qobject_cast<QComboBox *>(w)) {
            EXPECT_EQ(s.value, c->currentText()) << id;
        }
        if (auto *p = qobject_cast<QProgressBar *>(w)) {
            EXPECT_EQ(s.value, QString::number(p->value())) << id;
        }
        if (auto *t = qobject_cast<QTabBar *>(w)) {
            QAccessibleInterface *tabs = QAccessible::queryAccessibleInterface(t);
            EXPECT_EQ(tabs->childCount(), t->count()) << id;
            for (int i = 0; i < std::min(t->count(), tabs->childCount()); ++i)
                EXPECT_EQ(plain(tabs->child(i)->text(QAccessible::Name)), plain(t->tabText(i))) << id;
        }
    }
    window->hide();
    return checked;
}

const std::string kListing = "Type bits/keyID    Date       User ID\r\n"
                             "pub  1024/DEADBEEF 1996/11/30 Bob <bob@example.org>\r\n"
                             "pub   512/1A2B3C4D 1995/03/07 Ann\r\n";

} // namespace

TEST(ScreenReader, EveryWindowSaysWhatItShowsInBothLanguages)
{
    for (const char *language : {"Deutsch", "English"}) {
        SCOPED_TRACE(language);
        testsupport::FormFixture fx(testsupport::normalSettings(language));
        TForm1 &f = fx.create();
        fx.fs.addFile("/pgp/pgp", "binary");
        fx.fs.addFile("/app/out.txt", "Good signature from Bob\r\n");

        // The status panels say the key count and the hint, not a label.
        f.StatusPanel0->setText(QString::fromUtf8("Verschlüsselt eine wählbare Datei"));
        f.StatusPanel1->setText("Anzahl vorhandener Schl\xC3\xBC" "ssel :2");
        EXPECT_GE(checkWindow(&f, "main window"), 25);
        {
            std::map<QObject *, Seen> seen;
            walk(QAccessible::queryAccessibleInterface(&f), seen);
            EXPECT_EQ(seen[f.StatusPanel1].name, f.StatusPanel1->text());
            EXPECT_EQ(seen[f.StatusPanel0].name, f.StatusPanel0->text());
        }
        f.Notebook1->setCurrentIndex(1);
        f.TreeView1->addTopLevelItem(new QTreeWidgetItem(QStringList{"pub  1024/DEADBEEF 1996/11/30 Bob"}));
        checkWindow(&f, "main window, key tree");
        f.Notebook1->setCurrentIndex(0);

        TForm4 chooser(fx.st, &f);
        chooser.LoadUserList(kListing);
        chooser.StatusPanel->setText("Anzahl vorhandener Schl\xC3\xBC" "ssel :2");
        EXPECT_GE(checkWindow(&chooser, "chooser"), 3);
        {
            std::map<QObject *, Seen> seen;
            walk(QAccessible::queryAccessibleInterface(&chooser), seen);
            EXPECT_EQ(seen[chooser.StatusPanel].name, chooser.StatusPanel->text());
        }

        TForm5 wait(fx.st, &f);
        checkWindow(&wait, "wait dialog");
        TfrmReadPGP viewer(fx.st, &f);
        checkWindow(&viewer, "output viewer");
        TfrmMantra mantra(fx.st, &f);
        checkWindow(&mantra, "pass phrase");
        TfrmAbout about(fx.st, &f);
        checkWindow(&about, "about box");
        TfrmDebug debug(fx.st, &f);
        debug.setCurrentDir = [](const std::string &) { return true; };
        checkWindow(&debug, "debug report");
        TFormButtSetup &setup = f.buttonSetup();
        setup.fill(6);
        EXPECT_GE(checkWindow(&setup, "button setup"), 15);
        TForm7 settings(fx.st, {}, &f);
        EXPECT_GE(checkWindow(&settings, "settings, Setup page"), 12);
        settings.PageControl1->setCurrentIndex(1);
        EXPECT_GE(checkWindow(&settings, "settings, Browser page"), 8);
        ui::FontDialog font(f.RichEdit1->font(), Qt::black, fx.st.english(), &f);
        EXPECT_GE(checkWindow(&font, "font dialog"), 5);
        TForm2 notice(&f);
        checkWindow(&notice, "ready notice");
    }
    TFormLanguage chooserOfLanguage;
    checkWindow(&chooserOfLanguage, "language chooser");

    // The help window, on a real page.
    const std::string page = QUORBIX_SOURCE_DIR "/resources/help/Quorbix.html";
    platform::systemHelpViewer().showContext(page, 10);
    QWidget *help = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == "HelpWindow")
            help = w;
    ASSERT_NE(help, nullptr);
    checkWindow(help, "help window");
    platform::systemHelpViewer().close(page);
}
