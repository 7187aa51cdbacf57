// Placeholder until this subsystem is built; replaced by its owner.
#include "app/TForm1.h"

void TForm1::connectButtonCommands() {}
void TForm1::bu1MouseUp(QPushButton *, Qt::MouseButton) {}
void TForm1::RunButton(int) {}
