#pragma once
// Environment variables from a map.

#include "platform/Platform.h"

#include <map>
#include <string>

namespace testsupport {

class FakeEnvironment : public platform::Environment {
public:
    std::map<std::string, std::string> vars;

    FakeEnvironment() = default;
    FakeEnvironment(std::map<std::string, std::string> v) : vars(std::move(v)) {}
    void set(const std::string &name, const std::string &value) { vars[name] = value; }
    void unset(const std::string &name) { vars.erase(name); }

    std::optional<std::string> raw(const std::string &name) const override
    {
        auto it = vars.find(name);
        if (it == vars.end())
            return std::nullopt;
        return it->second;
    }
};

} // namespace testsupport
