// Placeholder until this subsystem is built; replaced by its owner.
#include "app/TForm1.h"

void TForm1::connectDocumentCommands() {}
