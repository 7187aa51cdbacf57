#pragma once
// A later start's command line, handed to the running main window.

#include <string>
#include <vector>

class TForm1;

// Acted on as the window's own command line once no command or dialog is
// running; the window comes to the front first.
void acceptHandedCommandLine(TForm1 &form, const std::vector<std::string> &args);
