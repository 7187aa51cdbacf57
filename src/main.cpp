// Program entry: the application title, the main window (whose creation runs
// the start-up sequence), the button setup dialog, the message loop; the main
// window's destruction runs the shutdown.
#include "app/AppState.h"
#include "app/MainWindowHandoff.h"
#include "app/TForm1.h"
#include "platform/GlobalHotkeys.h"
#include "platform/InstanceChannel.h"
#include "platform/Platform.h"
#include "platform/RegistryStore.h"
#include "ui/ProgramIcon.h"
#include "ui/QtDialogs.h"

#include <QApplication>
#include <cstdlib>
#include <memory>

int main(int argc, char **argv)
{
    platform::chooseDisplayPlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quorbix");
    QApplication::setOrganizationName("Farrowdale Software");
    QApplication::setWindowIcon(ui::programIcon());

    CommandLineArgs cmd;
    for (int i = 1; i < argc; ++i)
        cmd.args.emplace_back(argv[i]);
    // A running window takes this start's command line; before anything of
    // its working files or settings is touched.
    platform::InstanceChannel instance(platform::InstanceChannel::defaultDir(),
                                       platform::FileRegistryStore::defaultPath());
    if (instance.handOffOrListen(cmd.args))
        return 0;

    app::AppState st;
    st.sys = platform::systemServices();
    ui::QtDialogs dialogs(st.sys.help);
    st.dialogs = &dialogs;
    st.processEvents = [] { QCoreApplication::processEvents(); };

    auto form = std::make_unique<TForm1>(st, cmd);
    // The button setup dialog lives as long as the main window.
    form->buttonSetup();
    st.quitNow = [&form](int code) {
        // A quit request while PGP runs: shut down now and end the process.
        form->FormDestroy();
        std::_Exit(code);
    };
    form->show();
    instance.setReceiver([&form](const std::vector<std::string> &args) {
        if (form)
            acceptHandedCommandLine(*form, args);
    });
    const int rc = app.exec();
    form.reset();
    return rc;
}
