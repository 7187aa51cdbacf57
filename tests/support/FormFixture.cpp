#include "support/FormFixture.h"

#include "pgp/LaunchFile.h"
#include "settings/DesktopServices.h"

namespace testsupport {

std::string normalSettings(const std::string &language, const std::string &pgpPath)
{
    return "REGEDIT4\r\n\r\n"
           "[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\MainWindow]\r\n"
           "\"Left\"=\"40\"\r\n\"Top\"=\"30\"\r\n\r\n"
           "[HKEY_CURRENT_USER\\Software\\Farrowdale Software\\QUORBIX\\Setup]\r\n"
           "\"PGPPath\"=\"" + pgpPath + "\"\r\n"
           "\"Language\"=\"" + language + "\"\r\n"
           "\"UBPanel\"=\"1\"\r\n";
}

FormFixture::FormFixture(const std::string &settings) : reg(settings)
{
    fs.mkdirs("/app");
    fs.mkdirs("/pgp");
    fs.mkdirs("/tmp");
    fs.addFile("/app/MakeID.pif", pgp::makeLaunchFile("MakeID", "MakeID.bat"));
    env.set("Temp", "/tmp");
    st.sys.env = &env;
    st.sys.fs = &fs;
    st.sys.proc = &proc;
    st.sys.help = &help;
    st.sys.registry = &reg;
    st.dialogs = &dialogs;
    st.appDir = "/app";

    desktopEnv.set("XDG_DATA_HOME", desktopHome.path().toStdString() + "/data");
    desktopEnv.set("XDG_CONFIG_HOME", desktopHome.path().toStdString() + "/config");
    fileTypes = std::make_unique<platform::DesktopFileTypes>(
        desktopEnv, [](const std::string &, const std::vector<std::string> &) {});
    desktop::DesktopServices services;
    services.hotkeys = &hotkeys;
    services.clipboard = &clipboard;
    services.windows = &windows;
    services.fileTypes = fileTypes.get();
    services.programPath = "/app/quorbix";
    services.chooseFolder = [](QWidget *, const std::string &) { return std::optional<std::string>(); };
    desktop::installDesktopServices(services);
}

FormFixture::~FormFixture()
{
    destroy();
    desktop::installDesktopServices({});
}

TForm1 &FormFixture::create(CommandLineArgs args)
{
    form = std::make_unique<TForm1>(st, std::move(args));
    return *form;
}

void FormFixture::destroy()
{
    form.reset();
}

} // namespace testsupport
