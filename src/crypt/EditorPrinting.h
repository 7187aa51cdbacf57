#pragma once
// Printing the editor text, and the font dialog that tests replace.

#include <QFont>
#include <functional>

class QPlainTextEdit;
class QPrinter;
class QWidget;

namespace cryptcmd {

// Tests replace the font dialog: the hook gets the preset font, may change
// it, and returns whether it was confirmed.
std::function<bool(QFont &)> &fontDialogHook();

// Prints the whole editor text on the printer, using its full page area,
// new pages as needed, with an empty document title.
void printEditorText(const QPlainTextEdit *edit, QPrinter &printer);

// The platform's text when no default printer is chosen.
inline constexpr const char *kNoDefaultPrinter = "Zur Zeit ist kein Standard-Drucker gewählt";

} // namespace cryptcmd
