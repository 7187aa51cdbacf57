// Placeholder until this subsystem is built; replaced by its owner.
#include "app/TForm1.h"

void TForm1::connectKeyCommands() {}
void TForm1::buReadTreeClick() {}
void TForm1::ReadKeyTree() {}
void TForm1::pmuTreeViewClick() {}
void TForm1::UmschaltenzumEditorClick() {}
void TForm1::Allesffnen1Click() {}
void TForm1::Allesschlieen1Click() {}
void TForm1::Fingerprintzeigen1Click() {}
void TForm1::ASCIIKeyspeichern1Click() {}
void TForm1::Keyspeichern1Click() {}
void TForm1::Keylschen1Click() {}
void TForm1::ChooseRecipient() {}
