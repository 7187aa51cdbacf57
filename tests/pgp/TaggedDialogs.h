#pragma once
// Message boxes recorded as "kind:text" lines, for the runner and launch-file tests.

#include "ui/Dialogs.h"

#include <string>
#include <vector>

namespace pgptest {

class RecordingDialogs : public ui::Dialogs {
public:
    std::vector<std::string> shown;
    void plainMessage(const std::string &t) override { shown.push_back("plain:" + t); }
    void errorBox(const std::string &t) override { shown.push_back("error:" + t); }
    void information(const std::string &t) override { shown.push_back("info:" + t); }
    ui::Answer askYesNoCancel(const std::string &t) override
    {
        shown.push_back("ask:" + t);
        return ui::Answer::Cancel;
    }
    ui::Answer confirmOkCancel(const std::string &t) override
    {
        shown.push_back("confirm:" + t);
        return ui::Answer::Cancel;
    }
    void informationWithHelp(const std::string &t, const std::string &, int) override
    {
        shown.push_back("help:" + t);
    }
    void platformError(const std::string &t) override { shown.push_back("platform:" + t); }
};

} // namespace pgptest
