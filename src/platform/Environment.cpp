#include "platform/Platform.h"

#include <cstdlib>

namespace platform {

namespace {

class SystemEnvironment : public Environment {
public:
    std::optional<std::string> raw(const std::string &name) const override
    {
        const char *v = std::getenv(name.c_str());
        if (!v)
            return std::nullopt;
        return std::string(v);
    }
};

} // namespace

std::string envValue(const Environment &env, const std::string &name)
{
    // The value was read into a buffer of 227 characters with its zero:
    // a longer one did not fit and counted as unset.
    constexpr std::size_t kMaxValue = 226;
    auto v = env.raw(name);
    if (!v || v->size() > kMaxValue)
        return {};
    return *v;
}

Environment &systemEnvironment()
{
    static SystemEnvironment env;
    return env;
}

} // namespace platform
