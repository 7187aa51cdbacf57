// A minimal client of gpg-agent's Assuan socket: enough to forget cached pass phrases
// without starting gpgconf or another process.
#pragma once
#include <string>
#include <vector>

namespace pgpc {

// Where gpg-agent listens for the GnuPG home homeDir (as gpgconf --list-dirs agent-socket
// reports it). defaultHome is the home gpg uses without GNUPGHOME.
std::string agentSocketPath(const std::string &homeDir, const std::string &defaultHome);

// One connection to the agent.
class AgentSession {
public:
    AgentSession() = default;
    AgentSession(const AgentSession &) = delete;
    AgentSession &operator=(const AgentSession &) = delete;
    ~AgentSession();
    // False (with the reason) when no agent listens there.
    bool open(const std::string &socketPath, std::string *error = nullptr);
    // One request line; true when the agent answered OK. status receives the "S " lines.
    bool request(const std::string &line, std::vector<std::string> *status = nullptr,
                 std::string *error = nullptr);

private:
    bool readLine(std::string &line);
    bool response(std::vector<std::string> *status, std::string *error);
    int fd_ = -1;
    std::string buf_;
};

// The socket an Assuan redirect file names ("%Assuan%" then "socket=PATH"), else path itself.
std::string followSocketRedirect(const std::string &path);

} // namespace pgpc
