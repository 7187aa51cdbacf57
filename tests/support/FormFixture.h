#pragma once
// A main window over fakes of the platform, for tests of the window and of
// the commands on it.
//
//   FormFixture fx;                       // /app, /pgp, /tmp; settings present
//   TForm1 &form = fx.create();           // runs the start-up sequence
//   fx.proc.runs / fx.dialogs.shown / fx.fs.content("/app/Buttons.qxd") ...
//   fx.destroy();                         // runs the shutdown

#include "app/AppState.h"
#include "app/TForm1.h"
#include "crypt/RecordingDialogs.h"
#include "support/FakeEnvironment.h"
#include "support/FakeFileSystem.h"
#include "support/FakeHelpViewer.h"
#include "support/FakeProcessRunner.h"
#include "support/FakeRegistryStore.h"

#include <memory>
#include <string>

namespace testsupport {

// A settings file that makes a normal (not first) start.
std::string normalSettings(const std::string &language = "Deutsch", const std::string &pgpPath = "/pgp");

class FormFixture {
public:
    FakeEnvironment env;
    FakeFileSystem fs;
    FakeProcessRunner proc;
    FakeHelpViewer help;
    FakeRegistryStore reg;
    RecordingDialogs dialogs;
    app::AppState st;
    std::unique_ptr<TForm1> form;

    // Directories /app (AppDir, with MakeID.pif), /pgp and /tmp (Temp).
    explicit FormFixture(const std::string &settings = normalSettings());
    ~FormFixture();

    TForm1 &create(CommandLineArgs args = {});
    void destroy(); // runs the shutdown
};

} // namespace testsupport
