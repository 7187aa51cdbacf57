#pragma once
// Records what the help viewer was asked to show.

#include "platform/Platform.h"

#include <string>
#include <vector>

namespace testsupport {

class FakeHelpViewer : public platform::HelpViewer {
public:
    enum class Kind { Context, Popup, Close };
    struct Call {
        Kind kind;
        std::string file;
        int context = 0; // 0 for Close
        bool operator==(const Call &) const = default;
    };
    std::vector<Call> calls;

    void showContext(const std::string &helpFile, int context) override { calls.push_back({Kind::Context, helpFile, context}); }
    void showPopup(const std::string &helpFile, int context) override { calls.push_back({Kind::Popup, helpFile, context}); }
    void close(const std::string &helpFile) override { calls.push_back({Kind::Close, helpFile, 0}); }
};

} // namespace testsupport
