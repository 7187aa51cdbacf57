#pragma once
// Message boxes with the fixed German titles and button labels, shown the
// same in both languages.

#include "ui/Dialogs.h"

#include <QMessageBox>
#include <QString>

class QWidget;

namespace platform {
class HelpViewer;
}

namespace ui {

// Box titles and button labels.
namespace boxtext {
inline constexpr const char *Information = "Information";
inline constexpr const char *Confirm = "Bestätigen";
inline constexpr const char *Error = "Fehler";
inline constexpr const char *Warning = "Warnung";
inline constexpr const char *Yes = "&Ja";
inline constexpr const char *No = "&Nein";
inline constexpr const char *Ok = "OK";
inline constexpr const char *Cancel = "Abbrechen";
inline constexpr const char *Help = "&Hilfe";
} // namespace boxtext

// A message's text as the box shows it: UTF-8 (or Latin-1 when it is not
// valid UTF-8), with carriage returns turned into line breaks.
QString messageText(const std::string &text);

class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(platform::HelpViewer *help, QWidget *parent = nullptr);

    void plainMessage(const std::string &text) override;
    void errorBox(const std::string &text) override;
    void information(const std::string &text) override;
    Answer askYesNoCancel(const std::string &text) override;
    Answer confirmOkCancel(const std::string &text) override;
    void informationWithHelp(const std::string &text, const std::string &helpFile, int context) override;
    void platformError(const std::string &text) override;

    // Warning box (title "Warnung", OK).
    void warning(const std::string &text);

    // The window the boxes stand over; by default the active window.
    void setParent(QWidget *parent) { parent_ = parent; }

private:
    QWidget *owner() const;
    void showOk(const char *title, QMessageBox::Icon icon, const std::string &text);

    platform::HelpViewer *help_;
    QWidget *parent_;
};

} // namespace ui
