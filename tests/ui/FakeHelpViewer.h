#pragma once
// Records the help requests a window makes.

#include "platform/Platform.h"

#include <string>
#include <vector>

namespace testui {

struct FakeHelpViewer : platform::HelpViewer {
    struct Request {
        std::string kind; // "context", "popup", "close"
        std::string file;
        int context = 0;
    };
    std::vector<Request> requests;

    void showContext(const std::string &f, int c) override { requests.push_back({"context", f, c}); }
    void showPopup(const std::string &f, int c) override { requests.push_back({"popup", f, c}); }
    void close(const std::string &f) override { requests.push_back({"close", f, 0}); }
};

} // namespace testui
