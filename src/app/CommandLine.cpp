// Acting on the command line once at start-up: a file to show, "/d" file to
// decrypt, "/k" file to add as a key, "/debug" for the debug report.
#include "app/TForm1.h"
#include "crypt/CryptCore.h"
#include "crypt/EditorFiles.h"
#include "diag/DiagWindows.h"
#include "keys/MakeIdBatch.h"

#include <QAction>

bool TForm1::GetCommandLine(const std::string &first, const std::string &second, int count)
{
    if (first == "/debug") {
        diag::ShowDebugReport(st_, this);
        return true;
    }
    if (count == 1) {
        if (!cryptcmd::loadEditorFile(st_, RichEdit1, first))
            return false;
        setWindowTitle(QString::fromLatin1(st_.versionText.c_str()) + QStringLiteral(" - ")
                       + cryptcmd::displayPath(cryptcmd::captionFileName(first)));
        return true;
    }
    if (first == "/d") {
        if (!cryptcmd::loadEditorFile(st_, RichEdit1, second))
            return false;
        PmuDecryptClick();
    } else if (first == "/k") {
        if (!cryptcmd::loadEditorFile(st_, RichEdit1, second))
            return false;
        pmuAddClick();
        keys::RunMakeIdBatch(st_);
    }
    return true;
}

void TForm1::connectDiagCommands()
{
    QObject::connect(muInfo, &QAction::triggered, this, [this] { diag::ShowAbout(st_, this); });
}
