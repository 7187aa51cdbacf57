// Help for a dialog's controls: the nearest enclosing context, F1 on the
// focused control, the what's-this click as a pop-up.
#include "ui/ContextHelp.h"
#include "app/TextCatalog.h"
#include "support/FakeHelpViewer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QVBoxLayout>

namespace {

struct Dialog {
    QDialog window;
    QGroupBox *group;
    QLineEdit *edPGPPath, *inner, *unnamed;
    QRadioButton *rbGerman;

    Dialog()
    {
        window.setObjectName("TForm7");
        auto *layout = new QVBoxLayout(&window);
        group = new QGroupBox("Sprache (language) ", &window);
        group->setObjectName("GroupBox2");
        auto *gl = new QVBoxLayout(group);
        rbGerman = new QRadioButton("Deutsch", group);
        rbGerman->setObjectName("rbGerman");
        gl->addWidget(rbGerman);
        unnamed = new QLineEdit(group);
        gl->addWidget(unnamed);
        edPGPPath = new QLineEdit(&window);
        edPGPPath->setObjectName("edPGPPath");
        inner = new QLineEdit(edPGPPath); // a part of the control, as composite fields have
        layout->addWidget(group);
        layout->addWidget(edPGPPath);
    }
};

const std::vector<app::ControlHelp> kTable = {{"", 1}, {"edPGPPath", 1270}, {"rbGerman", 1310}};

} // namespace

TEST(ContextHelp, NearestEnclosingContext)
{
    Dialog d;
    EXPECT_EQ(ui::helpContextOf(d.edPGPPath, &d.window, kTable), 1270);
    EXPECT_EQ(ui::helpContextOf(d.inner, &d.window, kTable), 1270);
    EXPECT_EQ(ui::helpContextOf(d.rbGerman, &d.window, kTable), 1310);
    EXPECT_EQ(ui::helpContextOf(d.unnamed, &d.window, kTable), 1); // group has none: the dialog's
    EXPECT_EQ(ui::helpContextOf(d.group, &d.window, kTable), 1);
    EXPECT_EQ(ui::helpContextOf(&d.window, &d.window, kTable), 1);
    EXPECT_EQ(ui::helpContextOf(d.edPGPPath, &d.window, {}), 0);
    // The real settings table: the hot-key fields and buttons have their own.
    EXPECT_EQ(ui::helpContextOf(d.edPGPPath, &d.window, app::helpContexts(app::Window::Settings)), 1270);
}

TEST(ContextHelp, F1OpensTheFocusedTopicAndWhatsThisShowsAPopup)
{
    Dialog d;
    testsupport::FakeHelpViewer viewer;
    std::string file = "/opt/q/Quorbix.html";
    auto *help = new ui::ContextHelp(&d.window, &viewer, [&file] { return file; }, kTable);
    d.window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d.window));
    d.window.activateWindow();
    d.edPGPPath->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return d.edPGPPath->hasFocus(); }, 2000));

    QTest::keyClick(d.edPGPPath, Qt::Key_F1);
    ASSERT_EQ(viewer.calls.size(), 1u);
    EXPECT_EQ(viewer.calls[0].kind, testsupport::FakeHelpViewer::Kind::Context);
    EXPECT_EQ(viewer.calls[0].context, 1270);
    EXPECT_EQ(viewer.calls[0].file, file);

    // The language changed meanwhile: the next request takes the new file.
    file = "/opt/q/Quorbixe.html";
    d.rbGerman->setFocus();
    help->showFocusedTopic();
    ASSERT_EQ(viewer.calls.size(), 2u);
    EXPECT_EQ(viewer.calls[1].context, 1310);
    EXPECT_EQ(viewer.calls[1].file, file);

    // A what's-this click on the radio button travels up to the window.
    const QPoint local = d.rbGerman->rect().center();
    QHelpEvent e(QEvent::WhatsThis, local, d.rbGerman->mapToGlobal(local));
    QApplication::sendEvent(d.rbGerman, &e);
    ASSERT_EQ(viewer.calls.size(), 3u);
    EXPECT_EQ(viewer.calls[2].kind, testsupport::FakeHelpViewer::Kind::Popup);
    EXPECT_EQ(viewer.calls[2].context, 1310);

    const QPoint onGroup = d.unnamed->rect().center();
    QHelpEvent e2(QEvent::WhatsThis, onGroup, d.unnamed->mapToGlobal(onGroup));
    QApplication::sendEvent(d.unnamed, &e2);
    ASSERT_EQ(viewer.calls.size(), 4u);
    EXPECT_EQ(viewer.calls[3].context, 1);
}
