#pragma once
// Fakes of the desktop the hotkey flows work with: the clipboard, other
// programs' windows, the system-wide hotkeys.

#include "platform/Clipboard.h"
#include "platform/ForeignWindows.h"
#include "platform/GlobalHotkeys.h"

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

using platform::Clipboard;
using platform::WindowHandle;

// An in-memory clipboard that counts its changes.
class FakeClipboard : public platform::Clipboard {
public:
    std::string content;
    bool hasText = false;
    int changes = 0;

    std::string text() const override { return hasText ? content : std::string(); }
    void setText(const std::string &utf8) override
    {
        content = utf8;
        hasText = true;
        ++changes;
    }
    void clear() override
    {
        content.clear();
        hasText = false;
        ++changes;
    }
};


// A window tree whose text windows keep a text and a selection
// and exchange it with a clipboard.
class FakeWindowTree : public platform::ForeignWindows {
public:
    explicit FakeWindowTree(Clipboard *clip = nullptr) : clip_(clip) {}

    struct Node {
        WindowHandle parent = 0;
        std::string className;
        std::string text;
        bool allSelected = false;
        // Key strokes never arrive (as while a hotkey's grab holds the keyboard).
        bool deaf = false;
    };
    // Adds a window (under parent 0 for a top-level one) and returns it.
    WindowHandle add(WindowHandle parent, const std::string &className, const std::string &text = {});
    void setFront(WindowHandle w) { front_ = w; }
    WindowHandle front() const { return front_; }
    const Node &node(WindowHandle w) const { return nodes_.at(w); }
    Node &node(WindowHandle w) { return nodes_.at(w); }
    void setClipboard(Clipboard *clip) { clip_ = clip; }

    // Every call, in order: "foreground", "find 3 ATH_Body", "front 3",
    // "keysUp", "selectAll 5", "copy 5", "paste 5".
    std::vector<std::string> log;

    WindowHandle foreground() override;
    WindowHandle findChild(WindowHandle parent, const std::string &className) override;
    void setForeground(WindowHandle w) override;
    bool waitUntilKeysReleased(int timeoutMs) override;
    void selectAll(WindowHandle w) override;
    void copy(WindowHandle w) override;
    bool paste(WindowHandle w) override;
    // What paste answers: whether the window fetched the clipboard's text.
    bool pasteFetches = true;

private:
    Clipboard *clip_;
    std::map<WindowHandle, Node> nodes_;
    WindowHandle next_ = 1;
    WindowHandle front_ = 0;
};

// Records registrations; combinations in heldByOthers are refused.
class FakeGlobalHotkeys : public platform::GlobalHotkeys {
public:
    struct Combo {
        unsigned modifiers;
        unsigned key;
        bool operator<(const Combo &o) const { return std::pair(modifiers, key) < std::pair(o.modifiers, o.key); }
        bool operator==(const Combo &o) const = default;
    };
    std::multimap<int, Combo> registered;
    std::set<Combo> heldByOthers;
    std::vector<std::string> log; // "register 100 2 49", "unregister 100", "refused 200 2 50"

    bool registerHotkey(int id, unsigned modifiers, unsigned virtualKey) override;
    void unregisterHotkey(int id) override;
    // Presses a combination: tells onHotkey the identifier it is registered
    // under, if any. Returns whether one was.
    bool press(unsigned modifiers, unsigned key);
};

} // namespace testsupport
