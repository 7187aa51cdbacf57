// Global hotkeys: the key map, root-window grabs on X11, the GlobalShortcuts
// portal on Wayland, and the recording fake.
#include "platform/GlobalHotkeys.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <QRandomGenerator>
#include <QTimer>
#include <QVariantMap>

#include <xcb/xcb.h>

#include <cstdlib>

namespace platform {

// ---- key map -------------------------------------------------------------

std::optional<std::uint32_t> keysymForVirtualKey(unsigned vk)
{
    if (vk >= 'A' && vk <= 'Z')
        return 0x61 + (vk - 'A'); // XK_a..XK_z: the unshifted symbol names the key
    if (vk >= '0' && vk <= '9')
        return 0x30 + (vk - '0');
    if (vk >= 0x70 && vk <= 0x87)
        return 0xFFBE + (vk - 0x70); // VK_F1..VK_F24 -> XK_F1..XK_F24
    if (vk >= 0x60 && vk <= 0x69)
        return 0xFFB0 + (vk - 0x60); // VK_NUMPAD0..9 -> XK_KP_0..9
    switch (vk) {
    case 0x6A: return 0xFFAA; // VK_MULTIPLY  XK_KP_Multiply
    case 0x6B: return 0xFFAB; // VK_ADD       XK_KP_Add
    case 0x6C: return 0xFFAC; // VK_SEPARATOR XK_KP_Separator
    case 0x6D: return 0xFFAD; // VK_SUBTRACT  XK_KP_Subtract
    case 0x6E: return 0xFFAE; // VK_DECIMAL   XK_KP_Decimal
    case 0x6F: return 0xFFAF; // VK_DIVIDE    XK_KP_Divide
    case 0x08: return 0xFF08; // VK_BACK      XK_BackSpace
    case 0x09: return 0xFF09; // VK_TAB
    case 0x0C: return 0xFF0B; // VK_CLEAR     XK_Clear
    case 0x0D: return 0xFF0D; // VK_RETURN
    case 0x13: return 0xFF13; // VK_PAUSE
    case 0x1B: return 0xFF1B; // VK_ESCAPE
    case 0x20: return 0x0020; // VK_SPACE
    case 0x21: return 0xFF55; // VK_PRIOR     XK_Prior
    case 0x22: return 0xFF56; // VK_NEXT      XK_Next
    case 0x23: return 0xFF57; // VK_END
    case 0x24: return 0xFF50; // VK_HOME
    case 0x25: return 0xFF51; // VK_LEFT
    case 0x26: return 0xFF52; // VK_UP
    case 0x27: return 0xFF53; // VK_RIGHT
    case 0x28: return 0xFF54; // VK_DOWN
    case 0x2C: return 0xFF61; // VK_SNAPSHOT  XK_Print
    case 0x2D: return 0xFF63; // VK_INSERT
    case 0x2E: return 0xFFFF; // VK_DELETE
    case 0x2F: return 0xFF6A; // VK_HELP
    case 0x91: return 0xFF14; // VK_SCROLL    XK_Scroll_Lock
    case 0xBA: return 0x003B; // VK_OEM_1     semicolon
    case 0xBB: return 0x003D; // VK_OEM_PLUS  equal (the "=+" key)
    case 0xBC: return 0x002C; // VK_OEM_COMMA
    case 0xBD: return 0x002D; // VK_OEM_MINUS
    case 0xBE: return 0x002E; // VK_OEM_PERIOD
    case 0xBF: return 0x002F; // VK_OEM_2     slash
    case 0xC0: return 0x0060; // VK_OEM_3     grave
    case 0xDB: return 0x005B; // VK_OEM_4     bracketleft
    case 0xDC: return 0x005C; // VK_OEM_5     backslash
    case 0xDD: return 0x005D; // VK_OEM_6     bracketright
    case 0xDE: return 0x0027; // VK_OEM_7     apostrophe
    default: return std::nullopt;
    }
}

std::string portalTrigger(unsigned modifiers, unsigned vk)
{
    // Key names as the XDG desktop shortcuts portal takes them (xkb keysym names).
    std::string key;
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9'))
        key = std::string(1, char(vk));
    else if (vk >= 0x70 && vk <= 0x87)
        key = "F" + std::to_string(vk - 0x70 + 1);
    else if (vk >= 0x60 && vk <= 0x69)
        key = "KP_" + std::to_string(vk - 0x60);
    else {
        switch (vk) {
        case 0x6A: key = "KP_Multiply"; break;
        case 0x6B: key = "KP_Add"; break;
        case 0x6D: key = "KP_Subtract"; break;
        case 0x6E: key = "KP_Decimal"; break;
        case 0x6F: key = "KP_Divide"; break;
        case 0x08: key = "BackSpace"; break;
        case 0x0D: key = "Return"; break;
        case 0x13: key = "Pause"; break;
        case 0x1B: key = "Escape"; break;
        case 0x20: key = "space"; break;
        case 0x21: key = "Prior"; break;
        case 0x22: key = "Next"; break;
        case 0x23: key = "End"; break;
        case 0x24: key = "Home"; break;
        case 0x25: key = "Left"; break;
        case 0x26: key = "Up"; break;
        case 0x27: key = "Right"; break;
        case 0x28: key = "Down"; break;
        case 0x2C: key = "Print"; break;
        case 0x2D: key = "Insert"; break;
        case 0x2E: key = "Delete"; break;
        default: return {};
        }
    }
    std::string t;
    if (modifiers & kModControl)
        t += "CTRL+";
    if (modifiers & kModAlt)
        t += "ALT+";
    if (modifiers & kModShift)
        t += "SHIFT+";
    return t + key;
}

namespace {

// ---- X11 -----------------------------------------------------------------

class X11GlobalHotkeys : public GlobalHotkeys, public QAbstractNativeEventFilter {
public:
    X11GlobalHotkeys(xcb_connection_t *c) : conn_(c)
    {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data->root;
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~X11GlobalHotkeys() override
    {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
        for (auto &[id, g] : grabs_)
            ungrab(g, 4);
        xcb_flush(conn_);
    }

    bool registerHotkey(int id, unsigned modifiers, unsigned vk) override
    {
        const auto sym = keysymForVirtualKey(vk);
        if (!sym)
            return false;
        const xcb_keycode_t code = keycodeFor(*sym);
        if (!code)
            return false;
        Grab g{code, xmods(modifiers)};
        // The same combination under the same identifier again (start-up after
        // the first start's settings dialog): already in place.
        auto [b, e] = grabs_.equal_range(id);
        for (auto it = b; it != e; ++it)
            if (it->second.code == g.code && it->second.mods == g.mods)
                return true;
        // The lock keys change the state the server matches, so each
        // combination is grabbed with and without NumLock and CapsLock.
        xcb_void_cookie_t cookies[4];
        for (int i = 0; i < 4; ++i)
            cookies[i] = xcb_grab_key_checked(conn_, 1, root_, std::uint16_t(g.mods | kLockVariants[i]), code,
                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        bool ok = true;
        bool granted[4];
        for (int i = 0; i < 4; ++i) {
            xcb_generic_error_t *err = xcb_request_check(conn_, cookies[i]);
            granted[i] = !err;
            if (err) {
                ok = false; // BadAccess: another client holds this combination
                std::free(err);
            }
        }
        if (!ok) {
            for (int i = 0; i < 4; ++i)
                if (granted[i])
                    xcb_ungrab_key(conn_, code, root_, std::uint16_t(g.mods | kLockVariants[i]));
            xcb_flush(conn_);
            return false;
        }
        grabs_.emplace(id, g);
        return true;
    }

    void unregisterHotkey(int id) override
    {
        auto [b, e] = grabs_.equal_range(id);
        for (auto it = b; it != e; ++it) {
            // Another identifier may grab the same combination; keep it then.
            bool shared = false;
            for (auto &[oid, og] : grabs_)
                if (oid != id && og.code == it->second.code && og.mods == it->second.mods)
                    shared = true;
            if (!shared)
                ungrab(it->second, 4);
        }
        grabs_.erase(b, e);
        xcb_flush(conn_);
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        auto *ev = static_cast<xcb_generic_event_t *>(message);
        const int kind = ev->response_type & ~0x80;
        if (kind != XCB_KEY_PRESS && kind != XCB_KEY_RELEASE)
            return false;
        auto *kp = reinterpret_cast<xcb_key_press_event_t *>(ev);
        bool grabbed = false;
        for (auto &[id, g] : grabs_)
            grabbed = grabbed || g.code == kp->detail;
        if (!grabbed)
            return false;
        if (kind == XCB_KEY_RELEASE) {
            down_[kp->detail] = false;
            releasedAt_[kp->detail] = kp->time;
            return false;
        }
        // A key held down repeats: with detectable repeat as further presses
        // while down, otherwise as a release and a press at the same time.
        // Only the first press is a hotkey.
        const bool repeat = down_[kp->detail] || releasedAt_[kp->detail] == kp->time;
        down_[kp->detail] = true;
        const std::uint16_t state = kp->state & kRelevantMods;
        for (auto &[id, g] : grabs_) {
            if (g.code == kp->detail && g.mods == state) {
                if (onHotkey && !repeat)
                    onHotkey(id);
                return true;
            }
        }
        return false;
    }

private:
    struct Grab {
        xcb_keycode_t code;
        std::uint16_t mods;
    };
    static constexpr std::uint16_t kLockVariants[4] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2,
                                                       XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
    static constexpr std::uint16_t kRelevantMods =
        XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

    static std::uint16_t xmods(unsigned m)
    {
        std::uint16_t x = 0;
        if (m & kModShift)
            x |= XCB_MOD_MASK_SHIFT;
        if (m & kModControl)
            x |= XCB_MOD_MASK_CONTROL;
        if (m & kModAlt)
            x |= XCB_MOD_MASK_1;
        return x;
    }

    void ungrab(const Grab &g, int variants)
    {
        for (int i = 0; i < variants; ++i)
            xcb_ungrab_key(conn_, g.code, root_, std::uint16_t(g.mods | kLockVariants[i]));
    }

    xcb_keycode_t keycodeFor(std::uint32_t sym)
    {
        const xcb_setup_t *setup = xcb_get_setup(conn_);
        const xcb_keycode_t lo = setup->min_keycode, hi = setup->max_keycode;
        auto cookie = xcb_get_keyboard_mapping(conn_, lo, std::uint8_t(hi - lo + 1));
        xcb_get_keyboard_mapping_reply_t *r = xcb_get_keyboard_mapping_reply(conn_, cookie, nullptr);
        if (!r)
            return 0;
        const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(r);
        const int per = r->keysyms_per_keycode;
        xcb_keycode_t found = 0;
        for (int k = 0; k <= hi - lo && !found; ++k)
            for (int j = 0; j < per && j < 2; ++j) // unshifted and shifted symbols
                if (syms[k * per + j] == sym) {
                    found = xcb_keycode_t(lo + k);
                    break;
                }
        std::free(r);
        return found;
    }

    xcb_connection_t *conn_;
    xcb_window_t root_;
    std::multimap<int, Grab> grabs_;
    std::map<xcb_keycode_t, bool> down_;
    std::map<xcb_keycode_t, xcb_timestamp_t> releasedAt_;
};

// ---- none ----------------------------------------------------------------

class NoGlobalHotkeys : public GlobalHotkeys {
public:
    bool registerHotkey(int, unsigned, unsigned) override { return false; }
    void unregisterHotkey(int) override {}
};

// ---- Wayland: org.freedesktop.portal.GlobalShortcuts ----------------------

struct PortalShortcut {
    QString id;
    QVariantMap props;
};

QDBusArgument &operator<<(QDBusArgument &a, const PortalShortcut &s)
{
    a.beginStructure();
    a << s.id << s.props;
    a.endStructure();
    return a;
}
const QDBusArgument &operator>>(const QDBusArgument &a, PortalShortcut &s)
{
    a.beginStructure();
    a >> s.id >> s.props;
    a.endStructure();
    return a;
}

} // namespace
} // namespace platform

Q_DECLARE_METATYPE(platform::PortalShortcut)

namespace platform {
namespace {

const char *kPortalService = "org.freedesktop.portal.Desktop";
const char *kPortalPath = "/org/freedesktop/portal/desktop";
const char *kShortcutsIface = "org.freedesktop.portal.GlobalShortcuts";
const char *kRequestIface = "org.freedesktop.portal.Request";

QString objectPathText(const QVariant &v)
{
    if (v.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return v.value<QDBusObjectPath>().path();
    return v.toString();
}

// One session for the program's life; the shortcuts asked for are bound
// together, after the registrations of one round (start-up, the settings
// dialog's "Ok") have all come in. Nothing waits: the desktop may first ask
// the user, and its answer arrives as a signal.
class PortalGlobalHotkeys : public QObject, public GlobalHotkeys {
    Q_OBJECT
public:
    explicit PortalGlobalHotkeys(QDBusConnection bus) : bus_(std::move(bus))
    {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
        // The slot's types are looked up by name: make them known first.
        qRegisterMetaType<QDBusObjectPath>();
        bus_.connect(kPortalService, kPortalPath, kShortcutsIface, "Activated", this,
                     SLOT(activated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    }
    ~PortalGlobalHotkeys() override
    {
        if (!session_.isEmpty())
            bus_.asyncCall(QDBusMessage::createMethodCall(kPortalService, session_, "org.freedesktop.portal.Session",
                                                          "Close"));
    }

    bool registerHotkey(int id, unsigned modifiers, unsigned vk) override
    {
        const std::string trigger = portalTrigger(modifiers, vk);
        if (trigger.empty())
            return false;
        wanted_[id] = trigger;
        schedule();
        return true;
    }

    void unregisterHotkey(int id) override
    {
        if (wanted_.erase(id))
            schedule();
    }

public slots:
    void activated(const QDBusObjectPath &session, const QString &shortcutId, qulonglong,
                   const QVariantMap &options)
    {
        if (session.path() != session_ || !onHotkey)
            return;
        bool ok = false;
        const int id = shortcutId.toInt(&ok);
        // Before the answer to a binding has come in, the desktop already
        // sends what it has bound.
        if (!ok || !(bound_.count(id) || (inFlight_ && round_.count(id))))
            return;
        // The desktop's permission to raise a window of ours: Qt's Wayland
        // client spends it on the next window that asks for activation.
        const QString token = options.value("activation_token").toString();
        if (!token.isEmpty())
            qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
        onHotkey(id);
    }
    void response(uint code, const QVariantMap &results)
    {
        if (!pending_)
            return;
        auto done = std::move(pending_);
        pending_ = nullptr;
        stopListening();
        done(code, results);
    }

private:
    void schedule()
    {
        if (scheduled_)
            return;
        scheduled_ = true;
        QTimer::singleShot(0, this, [this] {
            scheduled_ = false;
            sync();
        });
    }

    void sync()
    {
        if (inFlight_) {
            again_ = true; // after the answer to the round under way
            return;
        }
        if (wanted_ == bound_ && !session_.isEmpty())
            return;
        if (wanted_.empty()) {
            bound_.clear();
            return;
        }
        inFlight_ = true;
        round_ = wanted_;
        granted_.clear();
        if (!bus_.isConnected()) {
            finish(false);
            return;
        }
        if (session_.isEmpty())
            createSession();
        else
            bindShortcuts();
    }

    // ok: everything asked for is bound; otherwise granted_ holds what is.
    void finish(bool ok)
    {
        inFlight_ = false;
        bound_ = ok ? round_ : granted_;
        if (!ok && onRegistrationFailed)
            onRegistrationFailed();
        if (again_) {
            again_ = false;
            if (wanted_ != round_)
                schedule();
        }
    }

    void createSession()
    {
        const QString tok = token();
        const QVariantMap opts{{"handle_token", tok}, {"session_handle_token", token()}};
        request("CreateSession", {opts}, tok, [this](uint code, const QVariantMap &results) {
            session_ = code == 0 ? objectPathText(results.value("session_handle")) : QString();
            if (session_.isEmpty())
                finish(false);
            else
                bindShortcuts();
        });
    }

    void bindShortcuts()
    {
        QList<PortalShortcut> list;
        for (auto &[id, trig] : round_) {
            const std::string text = description ? description(id) : std::string();
            list.push_back({QString::number(id),
                            {{"description", text.empty() ? QStringLiteral("Quorbix %1").arg(id)
                                                          : QString::fromStdString(text)},
                             {"preferred_trigger", QString::fromStdString(trig)}}});
        }
        const QString tok = token();
        const QVariantMap opts{{"handle_token", tok}};
        request("BindShortcuts",
                {QVariant::fromValue(QDBusObjectPath(session_)), QVariant::fromValue(list), QString(), opts}, tok,
                [this](uint code, const QVariantMap &results) {
                    if (code != 0) {
                        finish(false);
                        return;
                    }
                    // The desktop answers with what it bound; every shortcut
                    // asked for must be among them.
                    QList<PortalShortcut> bound;
                    const QVariant v = results.value("shortcuts");
                    if (v.canConvert<QDBusArgument>())
                        v.value<QDBusArgument>() >> bound;
                    for (auto &[id, trig] : round_)
                        for (const PortalShortcut &s : bound)
                            if (s.id == QString::number(id))
                                granted_[id] = trig;
                    finish(granted_.size() == round_.size());
                });
    }

    QString token() { return QStringLiteral("quorbix%1").arg(QRandomGenerator::global()->generate()); }
    QString requestPath(const QString &tok)
    {
        const QString sender = bus_.baseService().mid(1).replace('.', '_');
        return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, tok);
    }
    void listen(const QString &path)
    {
        listening_ = path;
        bus_.connect(kPortalService, path, kRequestIface, "Response", this, SLOT(response(uint, QVariantMap)));
    }
    void stopListening()
    {
        if (listening_.isEmpty())
            return;
        bus_.disconnect(kPortalService, listening_, kRequestIface, "Response", this, SLOT(response(uint, QVariantMap)));
        listening_.clear();
    }

    // A portal method that answers through a Request object: the answer goes
    // to done; a call the bus refuses (no portal, no such interface) fails
    // the round.
    void request(const char *method, const QList<QVariant> &args, const QString &tok,
                 std::function<void(uint, const QVariantMap &)> done)
    {
        pending_ = std::move(done);
        listen(requestPath(tok)); // before the call: the answer may come at once
        QDBusMessage m = QDBusMessage::createMethodCall(kPortalService, kPortalPath, kShortcutsIface, method);
        m.setArguments(args);
        auto *w = new QDBusPendingCallWatcher(bus_.asyncCall(m), this);
        connect(w, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *call) {
            call->deleteLater();
            QDBusPendingReply<QDBusObjectPath> r = *call;
            if (r.isError()) {
                pending_ = nullptr;
                stopListening();
                finish(false);
                return;
            }
            // Portals older than the handle_token option answer elsewhere.
            if (pending_ && r.value().path() != listening_) {
                stopListening();
                listen(r.value().path());
            }
        });
    }

    QDBusConnection bus_;
    QString session_;
    std::map<int, std::string> wanted_, round_, granted_, bound_;
    bool scheduled_ = false, inFlight_ = false, again_ = false;
    std::function<void(uint, const QVariantMap &)> pending_;
    QString listening_;
};

} // namespace

bool nativeWayland()
{
    return qGuiApp && QGuiApplication::platformName().startsWith("wayland");
}

void chooseDisplayPlatform()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return;
    // X11 stays the fallback: a Wayland display that cannot be reached, or
    // a session that says it is an X11 one.
    if (qEnvironmentVariable("XDG_SESSION_TYPE") == "x11" && !qEnvironmentVariableIsEmpty("DISPLAY"))
        return;
    qputenv("QT_QPA_PLATFORM", "wayland;xcb");
}

std::unique_ptr<GlobalHotkeys> createSystemGlobalHotkeys()
{
    if (auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
        // Under offscreen the interface exists without a connection.
        if (xcb_connection_t *c = x11->connection())
            return std::make_unique<X11GlobalHotkeys>(c);
    }
    // A missing or refusing portal shows when the first round is answered.
    if (nativeWayland())
        return createPortalGlobalHotkeys();
    return std::make_unique<NoGlobalHotkeys>();
}

std::unique_ptr<GlobalHotkeys> createPortalGlobalHotkeys(const std::string &busAddress)
{
    if (busAddress.empty())
        return std::make_unique<PortalGlobalHotkeys>(QDBusConnection::sessionBus());
    static int n = 0;
    return std::make_unique<PortalGlobalHotkeys>(
        QDBusConnection::connectToBus(QString::fromStdString(busAddress), QStringLiteral("quorbix-portal-%1").arg(++n)));
}

} // namespace platform

#include "GlobalHotkeys.moc"
