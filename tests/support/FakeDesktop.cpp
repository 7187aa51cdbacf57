#include "support/FakeDesktop.h"

namespace testsupport {

WindowHandle FakeWindowTree::add(WindowHandle parent, const std::string &className, const std::string &text)
{
    const WindowHandle h = next_++;
    nodes_[h] = Node{parent, className, text, false, false};
    return h;
}

WindowHandle FakeWindowTree::foreground()
{
    log.push_back("foreground");
    return front_;
}

WindowHandle FakeWindowTree::findChild(WindowHandle parent, const std::string &className)
{
    log.push_back("find " + std::to_string(parent) + " " + className);
    if (!parent)
        return 0;
    for (auto &[h, n] : nodes_)
        if (n.parent == parent && n.className == className)
            return h;
    return 0;
}

void FakeWindowTree::setForeground(WindowHandle w)
{
    log.push_back("front " + std::to_string(w));
    if (nodes_.count(w))
        front_ = w;
}

bool FakeWindowTree::waitUntilKeysReleased(int)
{
    log.push_back("keysUp");
    return true;
}

void FakeWindowTree::selectAll(WindowHandle w)
{
    log.push_back("selectAll " + std::to_string(w));
    if (nodes_.count(w) && !nodes_[w].deaf)
        nodes_[w].allSelected = true;
}

// As a text window does: an empty selection copies nothing.
void FakeWindowTree::copy(WindowHandle w)
{
    log.push_back("copy " + std::to_string(w));
    if (nodes_.count(w) && !nodes_[w].deaf && nodes_[w].allSelected && !nodes_[w].text.empty() && clip_)
        clip_->setText(nodes_[w].text);
}

bool FakeWindowTree::paste(WindowHandle w)
{
    log.push_back("paste " + std::to_string(w));
    if (nodes_.count(w) && !nodes_[w].deaf && nodes_[w].allSelected && clip_)
        nodes_[w].text = clip_->text();
    return pasteFetches;
}

bool FakeGlobalHotkeys::registerHotkey(int id, unsigned modifiers, unsigned key)
{
    const Combo c{modifiers, key};
    const std::string what = std::to_string(id) + " " + std::to_string(modifiers) + " " + std::to_string(key);
    if (heldByOthers.count(c) || !platform::keysymForVirtualKey(key)) {
        log.push_back("refused " + what);
        return false;
    }
    for (auto &[oid, oc] : registered)
        if (oc == c && oid != id) { // one combination, one owner
            log.push_back("refused " + what);
            return false;
        }
    registered.emplace(id, c);
    log.push_back("register " + what);
    return true;
}

void FakeGlobalHotkeys::unregisterHotkey(int id)
{
    registered.erase(id);
    log.push_back("unregister " + std::to_string(id));
}

bool FakeGlobalHotkeys::press(unsigned modifiers, unsigned key)
{
    for (auto &[id, c] : registered)
        if (c == Combo{modifiers, key}) {
            if (onHotkey)
                onHotkey(id);
            return true;
        }
    return false;
}

} // namespace testsupport
