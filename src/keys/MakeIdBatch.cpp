#include "keys/MakeIdBatch.h"

#include "app/AppState.h"
#include "pgp/RunPgp.h"
#include "platform/Platform.h"

namespace keys {

namespace {

std::string shellWord(const std::string &s)
{
    static const std::string plain = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/._-+,:@%=";
    if (!s.empty() && s.find_first_not_of(plain) == std::string::npos)
        return s;
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

} // namespace

std::string makeIdBatchLine(const std::string &pgpDir, const std::string &appDir)
{
    return shellWord(pgpDir + "/pgp") + " >" + shellWord(appDir + "/ID.txt") + " -kv +CharSet=Latin1\n";
}

void WriteMakeIdBatch(app::AppState &st)
{
    st.sys.fs->writePrivateFile(st.inAppDir("MakeID.bat"), makeIdBatchLine(st.pgpDir, st.appDir));
}

void RunMakeIdBatch(app::AppState &st)
{
    auto r = platform::startScriptDetached(*st.sys.proc, *st.sys.fs, st.inAppDir("MakeID.bat"), st.pgpDir);
    if (!r.ok)
        pgp::ShowError(st, st.texts.msg(app::Msg::UserListFailed), r.code, 100);
}

} // namespace keys
