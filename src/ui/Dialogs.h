#pragma once
// Message boxes as the commands see them. The Qt implementation shows the
// platform layer's German titles and button labels in both languages; tests
// hand in a recording fake. Texts are UTF-8.

#include <string>

namespace ui {

enum class Answer { Ok, Cancel, Yes, No, Help };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Plain box titled with the application title, one OK button.
    virtual void plainMessage(const std::string &text) = 0;
    // Error box (title "Fehler", error icon, OK).
    virtual void errorBox(const std::string &text) = 0;
    // Information box (title "Information", OK).
    virtual void information(const std::string &text) = 0;
    // Information box with Yes, No and Cancel ("&Ja", "&Nein", "Abbrechen").
    virtual Answer askYesNoCancel(const std::string &text) = 0;
    // Confirmation box (title "Bestätigen") with OK and Cancel.
    virtual Answer confirmOkCancel(const std::string &text) = 0;
    // Information box with OK and Help; Help opens the help file at the context
    // and the box stays until OK.
    virtual void informationWithHelp(const std::string &text, const std::string &helpFile, int context) = 0;
    // Box titled with the application title for an error raised by the
    // platform layer (a file that cannot be opened, a registry value of the
    // wrong type).
    virtual void platformError(const std::string &text) = 0;
};

} // namespace ui
