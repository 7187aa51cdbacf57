// The commands that talk to the user in a terminal: -kg, -ke, -kd, -krs.
#include "commands.h"

namespace pgpc {

namespace {

bool pickKey(App &a, const std::vector<KeyInfo> &keys, const KeyInfo *&out)
{
    const auto &ops = a.inv.operands;
    std::string who = ops.empty() ? std::string() : ops[0];
    if (who.empty()) {
        a.con.print("Enter the user ID of the key: ");
        if (!a.con.readLine(who) || who.empty())
            return false;
    }
    Resolution r = resolveKey(keys, parseKeySelector(argToUtf8(a.settings, who)), out);
    if (r == Resolution::None) {
        a.con.say("Key matching userid '%s' not found in file '%s'.", {who, a.backend.ringName()});
        return false;
    }
    if (r == Resolution::Ambiguous) {
        a.con.say("Key ID %s matches more than one key; give more digits or the fingerprint.", {who});
        return false;
    }
    ListOptions lo;
    lo.lang = a.settings.lang;
    a.con.line();
    for (const std::string &l : keyLines(*out, lo))
        a.con.line(l);
    return true;
}

bool newPassphrase(App &a, std::string &pw)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::string again;
        if (!a.con.readSecret(a.con.tr("Enter pass phrase: "), pw))
            return false;
        if (!a.con.readSecret(a.con.tr("Enter pass phrase again: "), again))
            return false;
        if (pw == again)
            return true;
        a.con.line("Error: Pass phrases were different.  Try again.");
    }
    return false;
}

int keyGen(App &a)
{
    a.con.line("Pick your key type:");
    a.con.line("   1)  RSA, 3072 bits");
    a.con.line("   2)  RSA, 4096 bits");
    a.con.line("   3)  Ed25519 for signing, Curve25519 for encryption");
    a.con.print("Choose 1, 2 or 3: ");
    std::string choice;
    if (!a.con.readLine(choice))
        return ExitKeyGen;
    std::string algo, sub;
    if (choice == "1" || choice.empty()) { algo = "rsa3072"; sub = "rsa3072"; }
    else if (choice == "2") { algo = "rsa4096"; sub = "rsa4096"; }
    else if (choice == "3") { algo = "ed25519"; sub = "cv25519"; }
    else {
        a.con.say("Invalid arguments.");
        return ExitKeyGen;
    }
    a.con.line();
    a.con.line("You need a user ID for your public key.  The desired form for this\n"
               "user ID is your name, followed by your E-mail address enclosed in\n"
               "<angle brackets>, if you have an E-mail address.\n"
               "For example:  John Q. Smith <12345.6789@compuserve.com>");
    a.con.print("Enter a user ID for your public key: ");
    std::string uid;
    if (!a.con.readLine(uid) || uid.empty())
        return ExitKeyGen;
    a.con.line();
    a.con.line("You need a pass phrase to protect your secret key.\n"
               "Your pass phrase can be any sentence or phrase and may have many\n"
               "words, spaces, punctuation, or any other printable characters.");
    std::string pw;
    if (!newPassphrase(a, pw))
        return ExitKeyGen;
    a.con.line();
    a.con.line("Key generation.  Just a moment....");
    std::fflush(stdout);
    std::string fpr, err;
    bool ok = a.backend.createKey(uid, algo, sub, pw, fpr, err);
    std::fill(pw.begin(), pw.end(), '\0');
    if (!ok) {
        a.con.line("GnuPG: " + err);
        return ExitKeyGen;
    }
    a.con.line("Key generation completed.");
    if (auto k = a.backend.keyByFpr(fpr)) {
        ListOptions lo;
        lo.lang = a.settings.lang;
        lo.fingerprints = true;
        for (const std::string &l : keyLines(*k, lo))
            a.con.line(l);
    }
    return ExitOk;
}

int keyEdit(App &a)
{
    std::vector<KeyInfo> keys;
    std::string err;
    if (!a.backend.listKeys(keys, false, false, false, &err)) {
        a.con.line("GnuPG: " + err);
        return ExitKeyEdit;
    }
    const KeyInfo *k = nullptr;
    if (!pickKey(a, keys, k))
        return ExitNoKey;
    a.con.line();
    if (k->hasSecret) {
        a.con.line("Current user ID: " + k->firstUid());
        if (a.con.ask("Do you want to add a new user ID (y/N)? ")) {
            a.con.print("Enter the new user ID: ");
            std::string uid;
            if (a.con.readLine(uid) && !uid.empty()) {
                a.backend.forgetPassphrases();
                if (!a.backend.addUid(k->fpr, uid, err)) {
                    a.con.line("GnuPG: " + err);
                    return ExitKeyEdit;
                }
                a.con.line("User ID added.");
            }
        }
        if (a.con.ask("Do you want to change your pass phrase (y/N)? ")) {
            a.backend.forgetPassphrases();
            a.con.line("First the current pass phrase, then the new one twice.");
            if (!a.backend.changePassphrase(k->fpr, err)) {
                a.con.line("GnuPG: " + err);
                return ExitKeyEdit;
            }
            a.con.line("Pass phrase changed.");
        }
        a.backend.forgetPassphrases();
        a.con.line("Secret key ring updated.");
        return ExitOk;
    }
    a.con.line("Make a determination in your own mind whether this key actually\n"
               "belongs to the person whom you think it belongs to, based on available\n"
               "evidence.  How far do you trust this person to certify other keys?");
    a.con.line("   1) I don't know.");
    a.con.line("   2) No.");
    a.con.line("   3) Usually.");
    a.con.line("   4) Yes, always.");
    a.con.print("Select an option: ");
    std::string choice;
    if (!a.con.readLine(choice) || choice.size() != 1 || choice[0] < '1' || choice[0] > '4')
        return ExitKeyEdit;
    static const int trust[] = {1, 2, 3, 4}; // Undefined, Never, Marginal, Full
    if (!a.backend.setOwnerTrust(k->fpr, trust[choice[0] - '1'], err)) {
        a.con.line("GnuPG: " + err);
        return ExitKeyEdit;
    }
    a.con.line("Public key ring updated.");
    return ExitOk;
}

int keyDisable(App &a)
{
    std::vector<KeyInfo> keys;
    std::string err;
    if (!a.backend.listKeys(keys, false, false, false, &err)) {
        a.con.line("GnuPG: " + err);
        return ExitKeyEdit;
    }
    const KeyInfo *k = nullptr;
    if (!pickKey(a, keys, k))
        return ExitNoKey;
    a.con.line();
    if (k->hasSecret && !k->revoked) {
        if (a.con.ask("Do you want to permanently revoke your public key\n"
                      "by issuing a secret key compromise certificate\n"
                      "for \"" + k->firstUid() + "\" (y/N)? ")) {
            a.backend.forgetPassphrases();
            bool ok = a.backend.revokeKey(k->fpr, err);
            a.backend.forgetPassphrases();
            if (!ok) {
                a.con.line("GnuPG: " + err);
                return ExitKeyEdit;
            }
            a.con.line("Key compromise certificate created.");
            return ExitOk;
        }
    }
    bool enable = k->disabled;
    if (!a.con.ask(enable ? "Key is disabled.  Do you want to enable this key again (y/N)? "
                          : "Do you want to disable this key (y/N)? "))
        return ExitOk;
    if (!a.backend.setDisabled(k->fpr, !enable, err)) {
        a.con.line("GnuPG: " + err);
        return ExitKeyEdit;
    }
    a.con.line(enable ? "Key enabled." : "Key disabled.");
    return ExitOk;
}

int removeSigs(App &a)
{
    std::vector<KeyInfo> keys;
    std::string err;
    if (!a.backend.listKeys(keys, true, false, false, &err)) {
        a.con.line("GnuPG: " + err);
        return ExitKeySigRemove;
    }
    const KeyInfo *k = nullptr;
    if (!pickKey(a, keys, k))
        return ExitNoKey;
    std::vector<std::vector<bool>> remove;
    int count = 0;
    ListOptions lo;
    lo.lang = a.settings.lang;
    const char *sigType = a.settings.lang == Lang::German ? "Unt" : "sig";
    for (const UidInfo &u : k->uids) {
        std::vector<bool> row;
        a.con.line();
        a.con.line("User ID: " + u.uid);
        for (const SigInfo &s : u.sigs) {
            std::string id8 = s.signerId16.size() >= 8 ? s.signerId16.substr(s.signerId16.size() - 8) : s.signerId16;
            a.con.line(sigLine(sigType, ' ', id8, nullptr,
                               s.signerUid.empty() ? msg(a.settings.lang, "(Unknown signator, can't be checked)")
                                                   : s.signerUid));
            bool yes = a.con.ask("Remove this signature (y/N)? ");
            row.push_back(yes);
            count += yes;
        }
        remove.push_back(row);
    }
    if (count == 0) {
        a.con.line("No key signatures removed.");
        return ExitOk;
    }
    if (!a.backend.deleteSigs(k->fpr, remove, err)) {
        a.con.line("GnuPG: " + err);
        return ExitKeySigRemove;
    }
    a.con.line(std::to_string(count) + " key signature(s) removed.");
    return ExitOk;
}

} // namespace

int runInteractive(App &app)
{
    switch (app.inv.command) {
    case Command::KeyGen: return keyGen(app);
    case Command::KeyEdit: return keyEdit(app);
    case Command::KeyDisable: return keyDisable(app);
    case Command::KeyRemoveSig: return removeSigs(app);
    default: return ExitBadArg;
    }
}

} // namespace pgpc
