#include "app/MainWindowHandoff.h"

#include "app/TForm1.h"

#include <QApplication>
#include <QTimer>

void acceptHandedCommandLine(TForm1 &form, const std::vector<std::string> &args)
{
    if (form.isMinimized())
        form.showNormal();
    form.raise();
    form.activateWindow();
    // Never nested inside a running command or an open dialog.
    if (form.state().commandBusy || QApplication::activeModalWidget()) {
        // The window is the timer's context: no call after it is gone.
        QTimer::singleShot(300, &form, [&form, args] { acceptHandedCommandLine(form, args); });
        return;
    }
    const CommandLineArgs cmd{args};
    form.GetCommandLine(cmd.arg(0), cmd.arg(1), cmd.count());
}
