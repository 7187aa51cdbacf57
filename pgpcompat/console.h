// Talking to the user: messages on standard output, questions on standard input,
// and output files written safely.
#pragma once
#include "options.h"

#include <functional>
#include <initializer_list>
#include <string>

namespace pgpc {

// Replaces %s, %d and %4d in order with the given texts.
std::string fmt(const char *format, std::initializer_list<std::string> args);

class Console {
public:
    explicit Console(const Settings &s) : settings_(s) {}
    // Text is UTF-8; with CharSet=Latin1 it goes out as Latin-1.
    void print(const std::string &utf8) const;
    void line(const std::string &utf8 = std::string()) const { print(utf8 + "\n"); }
    // The message catalogue entry in the chosen language, with its arguments.
    void say(const char *english, std::initializer_list<std::string> args = {}) const;
    std::string tr(const char *english, std::initializer_list<std::string> args = {}) const;

    // A question answered by y (j in German); in batch mode the default, never asking.
    bool ask(const std::string &question, bool defaultYes = false) const;
    // A line typed by the user; nullopt at end of input or in batch mode.
    bool readLine(std::string &out) const;
    // A pass phrase read without echo; false when none can be read.
    bool readSecret(const std::string &prompt, std::string &out) const;
    const Settings &settings() const { return settings_; }
    void toStderr(bool on) { stderr_ = on; }

private:
    const Settings &settings_;
    bool stderr_ = false;
};

// Creates output files: never through a symbolic link, plain text readable by the owner only,
// and nothing at the final name until the content is complete.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Decides the final name (asking about an existing file as PGP did) and opens a temporary
    // file beside it. Returns false with a message printed when no file can be written.
    bool open(const Console &con, std::string path, bool plaintext);
    int fd() const { return fd_; }
    const std::string &path() const { return path_; }
    // The temporary file that commit() puts in place.
    const std::string &tempPath() const { return tmp_; }
    // Writes data at once; false (with a message naming the reason) when the disk refuses.
    bool write(const Console &con, const std::string &data);
    bool commit(const Console &con);
    void discard();

private:
    int fd_ = -1;
    std::string tmp_, tmpDir_;
    std::string path_;
    bool plaintext_ = false;
    bool direct_ = false; // a device written in place, no temporary file
};

bool fileExists(const std::string &path);
bool sameFile(const std::string &a, const std::string &b);
bool readFile(const std::string &path, std::string &out);
// Reads up to a newline from descriptor fd (PGPPASSFD).
bool readPassFd(int fd, std::string &out);

} // namespace pgpc
