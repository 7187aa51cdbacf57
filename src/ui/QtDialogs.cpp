#include "ui/QtDialogs.h"

#include "ui/ControlTexts.h"
#include "platform/Platform.h"
#include "ui/ApplyTexts.h"
#include "ui/Text.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>
#include <QPushButton>

namespace ui {

QString messageText(const std::string &text)
{
    QString s = toQString(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(u'\r', u'\n');
    return s;
}

namespace {

QPushButton *addButton(QMessageBox &box, const char *label, QMessageBox::ButtonRole role)
{
    QPushButton *b = box.addButton(toQString(label), role);
    b->setAccessibleName(withoutAccessKey(b->text()));
    return b;
}

void prepare(QMessageBox &box, const char *title, QMessageBox::Icon icon, const std::string &text)
{
    box.setWindowTitle(toQString(title));
    box.setIcon(icon);
    box.setText(messageText(text));
    box.setTextFormat(Qt::PlainText);
    box.setAccessibleName(box.windowTitle());
    box.setWindowModality(Qt::ApplicationModal);
}

} // namespace

QtDialogs::QtDialogs(platform::HelpViewer *help, QWidget *parent) : help_(help), parent_(parent) {}

QWidget *QtDialogs::owner() const
{
    if (parent_)
        return parent_;
    return QApplication::activeWindow();
}

void QtDialogs::showOk(const char *title, QMessageBox::Icon icon, const std::string &text)
{
    QMessageBox box(owner());
    prepare(box, title, icon, text);
    QPushButton *ok = addButton(box, boxtext::Ok, QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

void QtDialogs::plainMessage(const std::string &text)
{
    showOk(kAppTitle, QMessageBox::NoIcon, text);
}

void QtDialogs::errorBox(const std::string &text) { showOk(boxtext::Error, QMessageBox::Critical, text); }

void QtDialogs::information(const std::string &text)
{
    showOk(boxtext::Information, QMessageBox::Information, text);
}

void QtDialogs::warning(const std::string &text) { showOk(boxtext::Warning, QMessageBox::Warning, text); }

void QtDialogs::platformError(const std::string &text)
{
    showOk(kAppTitle, QMessageBox::Critical, text);
}

Answer QtDialogs::askYesNoCancel(const std::string &text)
{
    QMessageBox box(owner());
    prepare(box, boxtext::Information, QMessageBox::Information, text);
    QPushButton *yes = addButton(box, boxtext::Yes, QMessageBox::YesRole);
    QPushButton *no = addButton(box, boxtext::No, QMessageBox::NoRole);
    QPushButton *cancel = addButton(box, boxtext::Cancel, QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel);
    box.exec();
    QAbstractButton *c = box.clickedButton();
    if (c == yes)
        return Answer::Yes;
    if (c == no)
        return Answer::No;
    return Answer::Cancel; // Cancel, Escape or the window closed
}

Answer QtDialogs::confirmOkCancel(const std::string &text)
{
    QMessageBox box(owner());
    prepare(box, boxtext::Confirm, QMessageBox::Question, text);
    QPushButton *ok = addButton(box, boxtext::Ok, QMessageBox::AcceptRole);
    QPushButton *cancel = addButton(box, boxtext::Cancel, QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == ok ? Answer::Ok : Answer::Cancel;
}

void QtDialogs::informationWithHelp(const std::string &text, const std::string &helpFile, int context)
{
    QMessageBox box(owner());
    prepare(box, boxtext::Information, QMessageBox::Information, text);
    QPushButton *ok = addButton(box, boxtext::Ok, QMessageBox::AcceptRole);
    QPushButton *help = addButton(box, boxtext::Help, QMessageBox::HelpRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    // The box closes on any of its buttons; the help button only opens the
    // help, so it is taken off the box's own handling.
    QObject::disconnect(help, &QAbstractButton::clicked, nullptr, nullptr);
    platform::HelpViewer *viewer = help_;
    QObject::connect(help, &QAbstractButton::clicked, &box, [viewer, helpFile, context] {
        if (viewer)
            viewer->showContext(helpFile, context);
    });
    box.exec();
}

} // namespace ui
