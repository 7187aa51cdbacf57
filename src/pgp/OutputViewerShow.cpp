// A new output viewer on out.txt, remembered as the one opened last.
#include "app/TForm1.h"
#include "pgp/TfrmReadPGP.h"

void TForm1::showOutputViewer()
{
    // A viewer the user has closed is never shown again: release it.
    if (lastViewer && lastViewer->isHidden())
        lastViewer->deleteLater();
    auto *viewer = new TfrmReadPGP(st_, this);
    lastViewer = viewer;
    viewer->show();
}
