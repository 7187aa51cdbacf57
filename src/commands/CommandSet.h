#pragma once
// Every command of the main window, with the runner they share. The window
// binds its controls to these in one table.

#include "commands/ButtonCommands.h"
#include "commands/CommandLineCommand.h"
#include "commands/CommandRunner.h"
#include "commands/DesktopCommands.h"
#include "commands/DocumentCommands.h"
#include "commands/EditorTextCommands.h"
#include "commands/FileCommands.h"
#include "commands/KeyTreeCommands.h"
#include "commands/PassPhraseCommands.h"

namespace commands {

struct CommandSet {
    CommandSet(CommandHost &host, desktop::DesktopServices &services)
        : runner(host), commandLine(runner, decryptText, addKeysFromText), hotkeyFlows(host, runner, services)
    {
    }

    CommandRunner runner;

    EncryptFile encryptFile;
    DecryptFile decryptFile;
    SignFile signFile;

    AddKeysFromText addKeysFromText;
    EncryptText encryptText;
    DecryptText decryptText;
    SignText signText;

    RunButton runButton;

    ReadKeyTree readKeyTree;
    ShowKeyTree showKeyTree;
    ShowEditor showEditor;
    ExpandKeyTree expandKeyTree;
    CollapseKeyTree collapseKeyTree;
    ShowFingerprint showFingerprint;
    ExportKey exportKeyArmoured{true};
    ExportKey exportKey{false};
    RemoveKey removeKey;

    NewDocument newDocument;
    OpenDocument openDocument;
    SaveDocument saveDocument;
    SaveDocumentAs saveDocumentAs;
    PrintDocument printDocument;
    ChooseEditorFont chooseEditorFont;
    ToggleWordWrap toggleWordWrap;

    AskPassPhrase askPassPhrase;
    ForgetPassPhrase forgetPassPhrase;

    OpenCommandLine commandLine;

    RegisterHotkeys registerHotkeys;
    ShowSettings showSettings;
    HotkeyFlows hotkeyFlows;
};

} // namespace commands
