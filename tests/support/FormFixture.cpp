#include "support/FormFixture.h"

#include "pgp/LaunchFile.h"

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
}

FormFixture::~FormFixture()
{
    destroy();
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
