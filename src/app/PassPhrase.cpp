// Placeholder until this subsystem is built; replaced by its owner.
#include "app/TForm1.h"

void TForm1::createPassPhraseDialog() {}
void TForm1::muMantraClick() {}
void TForm1::muDelMantraClick() {}
bool TForm1::ensurePassPhrase() { return !st_.passPhrase.empty(); }
