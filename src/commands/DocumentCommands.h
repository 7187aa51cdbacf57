#pragma once
// The editor as a document: new, open, save, print, font, word wrap.

#include "commands/Command.h"

#include <string>

namespace commands {

// VersionText, and " - " and the file's name when there is one.
void showFileInCaption(CommandHost &host, const std::string &file);

class NewDocument final : public Command {
public:
    void start(CommandHost &host) override;
};

// A failed read keeps the editor's text, the remembered name and the caption.
class OpenDocument final : public Command {
public:
    void start(CommandHost &host) override;
};

// To the name saved last, else as chosen.
class SaveDocument final : public Command {
public:
    void start(CommandHost &host) override;
};

class SaveDocumentAs final : public Command {
public:
    void start(CommandHost &host) override;
};

class PrintDocument final : public Command {
public:
    void start(CommandHost &host) override;
};

class ChooseEditorFont final : public Command {
public:
    void start(CommandHost &host) override;
};

class ToggleWordWrap final : public Command {
public:
    void start(CommandHost &host) override;
};

} // namespace commands
