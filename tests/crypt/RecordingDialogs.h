#pragma once
// Message boxes that record what they were asked to show.

#include "ui/Dialogs.h"

#include <string>
#include <vector>

namespace testsupport {

class RecordingDialogs : public ui::Dialogs {
public:
    struct Shown {
        std::string kind, text;
    };
    std::vector<Shown> shown;
    ui::Answer answer = ui::Answer::Ok;

    void plainMessage(const std::string &t) override { shown.push_back({"plain", t}); }
    void errorBox(const std::string &t) override { shown.push_back({"error", t}); }
    void information(const std::string &t) override { shown.push_back({"info", t}); }
    ui::Answer askYesNoCancel(const std::string &t) override
    {
        shown.push_back({"yesno", t});
        return answer;
    }
    ui::Answer confirmOkCancel(const std::string &t) override
    {
        shown.push_back({"confirm", t});
        return answer;
    }
    void informationWithHelp(const std::string &t, const std::string &, int) override
    {
        shown.push_back({"infohelp", t});
    }
    void platformError(const std::string &t) override { shown.push_back({"platform", t}); }

    std::string last() const { return shown.empty() ? std::string() : shown.back().text; }
};

} // namespace testsupport
