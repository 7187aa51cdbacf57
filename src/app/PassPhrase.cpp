// The pass phrase held in memory: the request dialog, clearing it, and the
// check that commands needing the secret key make first.
#include "app/TForm1.h"
#include "app/TfrmMantra.h"

#include <QLineEdit>

void TForm1::createPassPhraseDialog()
{
    if (!frmMantra)
        frmMantra = new TfrmMantra(st_, this);
}

void TForm1::muMantraClick()
{
    createPassPhraseDialog();
    // A hotkey may have asked while another program is in front.
    activateWindow();
    raise();
    frmMantra->exec();
    st_.sendPassPhrase = true;
}

void TForm1::muDelMantraClick()
{
    createPassPhraseDialog();
    frmMantra->Edit1->clear();
    st_.passPhrase.clear();
    st_.sendPassPhrase = true;
}

bool TForm1::ensurePassPhrase()
{
    if (!st_.passPhrase.empty())
        return true;
    muMantraClick();
    return !st_.passPhrase.empty();
}
