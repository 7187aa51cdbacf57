#include "keys/MakeIdBatch.h"

#include "app/AppState.h"
#include "pgp/RunPgp.h"
#include "platform/Platform.h"
#include "ShellWord.h"

namespace keys {

std::string makeIdBatchLine(const std::string &pgpDir, const std::string &appDir)
{
    // The listing goes to a fresh owner-only name, opened exclusively (set
    // -C: a link or file planted there is refused, never followed), and is
    // renamed over ID.txt, which replaces a link planted at ID.txt instead of
    // writing through it. A failed open ends the shell before pgp runs.
    const std::string id = shell::word(appDir + "/ID.txt");
    return "set -C; umask 077; t=$(mktemp -u " + shell::word(appDir + "/ID.txt.XXXXXX") + ") && exec 3>\"$t\" && { "
           + shell::word(pgpDir + "/pgp") + " -kv +CharSet=Latin1 >&3; exec 3>&-; mv -fT \"$t\" " + id + " || rm -f \"$t\"; }\n";
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
