#pragma once
// System-wide hotkeys. The stored values keep Windows virtual-key codes and
// the RegisterHotKey modifier flags; each implementation maps them to what
// its desktop understands.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// RegisterHotKey's modifier flags.
inline constexpr unsigned kModAlt = 1;
inline constexpr unsigned kModControl = 2;
inline constexpr unsigned kModShift = 4;

class GlobalHotkeys {
public:
    virtual ~GlobalHotkeys() = default;
    // Registers a combination under an identifier; false when the desktop
    // refuses it (another program holds it, the key has no mapping here, no
    // global hotkeys on this desktop). A second registration under the same
    // identifier keeps the first one too, as on Windows.
    virtual bool registerHotkey(int id, unsigned modifiers, unsigned virtualKey) = 0;
    // Removes every combination registered under the identifier.
    virtual void unregisterHotkey(int id) = 0;

    // Told the identifier whenever a registered combination is pressed,
    // whichever program is in front. Called while events are processed; the
    // receiver should queue its work rather than run nested loops from here.
    std::function<void(int)> onHotkey;

    // Where the desktop answers later (the shortcuts portal, which may first
    // ask the user), registerHotkey only accepts the combination; a binding
    // the desktop then refuses or leaves incomplete is told here, once for
    // all the combinations asked for together.
    std::function<void()> onRegistrationFailed;
    // The text the desktop shows for an identifier (in its shortcut
    // settings, in its confirmation dialog), UTF-8.
    std::function<std::string(int)> description;
};

// Whether the program runs as a native Wayland client: no global grabs, no
// other programs' windows, the clipboard readable only with the keyboard.
bool nativeWayland();

// Before the application object exists: the Wayland platform when a Wayland
// display is named (and no platform was asked for), X11 otherwise.
void chooseDisplayPlatform();

// The X keysym of a Windows virtual-key code: letters, digits, F1 to F24,
// the keypad, navigation and editing keys, the punctuation keys of a US
// layout. nullopt for a code without one.
std::optional<std::uint32_t> keysymForVirtualKey(unsigned virtualKey);

// The portal's trigger text for a combination ("CTRL+SHIFT+1"); empty when
// the key has no name there.
std::string portalTrigger(unsigned modifiers, unsigned virtualKey);

// What this desktop offers: root-window grabs on X11, the GlobalShortcuts
// portal on Wayland when the desktop provides it, otherwise an
// implementation that refuses every registration.
std::unique_ptr<GlobalHotkeys> createSystemGlobalHotkeys();

// The shortcuts portal's implementation on the session bus, or on the bus
// at that address.
std::unique_ptr<GlobalHotkeys> createPortalGlobalHotkeys(const std::string &busAddress = {});

} // namespace platform
