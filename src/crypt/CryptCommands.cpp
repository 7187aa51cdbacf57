// Placeholder until this subsystem is built; replaced by its owner.
#include "app/TForm1.h"

void TForm1::connectCryptCommands() {}
void TForm1::buEncryptClick() {}
void TForm1::buDecryptClick() {}
void TForm1::buSignClick() {}
void TForm1::pmuAddClick() {}
void TForm1::PmuEncryptClick() {}
void TForm1::PmuDecryptClick() {}
void TForm1::PmuSigClick() {}
