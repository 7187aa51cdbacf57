// Placeholder until this subsystem is built; replaced by its owner.
#include "app/TForm1.h"

bool TForm1::GetCommandLine(const std::string &, const std::string &, int) { return true; }
void TForm1::connectDiagCommands() {}
