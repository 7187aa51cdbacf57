// Other programs' windows on X11, and the fake window tree.
#include "platform/ForeignWindows.h"

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

// Notices another client asking this program for the clipboard's content
// (not only for its list of formats). Qt answers the request itself.
class ClipboardFetchWatch : public QAbstractNativeEventFilter {
public:
    ClipboardFetchWatch(xcb_atom_t clipboard, xcb_atom_t targets) : clipboard_(clipboard), targets_(targets)
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~ClipboardFetchWatch() override { QCoreApplication::instance()->removeNativeEventFilter(this); }
    ClipboardFetchWatch(const ClipboardFetchWatch &) = delete;
    ClipboardFetchWatch &operator=(const ClipboardFetchWatch &) = delete;

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        auto *ev = static_cast<xcb_generic_event_t *>(message);
        if ((ev->response_type & ~0x80) == XCB_SELECTION_REQUEST) {
            auto *r = reinterpret_cast<xcb_selection_request_event_t *>(ev);
            if (r->selection == clipboard_ && r->target != targets_)
                fetched = true;
        }
        return false;
    }
    bool fetched = false;

private:
    xcb_atom_t clipboard_, targets_;
};

class X11ForeignWindows : public ForeignWindows {
public:
    explicit X11ForeignWindows(xcb_connection_t *c) : conn_(c)
    {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(conn_)).data->root;
        activeAtom_ = atom("_NET_ACTIVE_WINDOW");
        wmCheckAtom_ = atom("_NET_SUPPORTING_WM_CHECK");
        clipboardAtom_ = atom("CLIPBOARD");
        targetsAtom_ = atom("TARGETS");
    }

    WindowHandle foreground() override
    {
        if (xcb_window_t w = windowProperty(root_, activeAtom_))
            return w;
        auto *r = xcb_get_input_focus_reply(conn_, xcb_get_input_focus(conn_), nullptr);
        if (!r)
            return 0;
        const xcb_window_t f = r->focus;
        std::free(r);
        return f > 1 ? f : 0; // None and PointerRoot name no window
    }

    WindowHandle findChild(WindowHandle parent, const std::string &cls) override
    {
        if (!parent)
            return 0;
        auto *r = xcb_query_tree_reply(conn_, xcb_query_tree(conn_, xcb_window_t(parent)), nullptr);
        if (!r)
            return 0;
        const xcb_window_t *kids = xcb_query_tree_children(r);
        const int n = xcb_query_tree_children_length(r);
        WindowHandle found = 0;
        for (int i = n - 1; i >= 0 && !found; --i) // topmost first
            if (hasClass(kids[i], cls))
                found = kids[i];
        std::free(r);
        return found;
    }

    void setForeground(WindowHandle w) override
    {
        if (!w)
            return;
        if (windowProperty(root_, wmCheckAtom_)) {
            // A window manager decides about the front; ask it as a pager would.
            xcb_client_message_event_t ev{};
            ev.response_type = XCB_CLIENT_MESSAGE;
            ev.format = 32;
            ev.window = xcb_window_t(w);
            ev.type = activeAtom_;
            ev.data.data32[0] = 2;
            ev.data.data32[1] = XCB_CURRENT_TIME;
            xcb_send_event(conn_, 0, root_,
                           XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                           reinterpret_cast<const char *>(&ev));
        } else {
            const std::uint32_t above = XCB_STACK_MODE_ABOVE;
            xcb_configure_window(conn_, xcb_window_t(w), XCB_CONFIG_WINDOW_STACK_MODE, &above);
        }
        focus(w);
    }

    bool waitUntilKeysReleased(int timeoutMs) override
    {
        QElapsedTimer t;
        t.start();
        while (anyKeyDown()) {
            if (t.elapsed() >= timeoutMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(10);
        }
        return true;
    }

    void selectAll(WindowHandle w) override { keys(w, "ctrl+a"); }

    void copy(WindowHandle w) override
    {
        // The owner of the selection answers in its own time: wait until the
        // clipboard has changed, for a few seconds at most.
        QEventLoop loop;
        auto c = QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, &loop, &QEventLoop::quit);
        QTimer::singleShot(3000, &loop, &QEventLoop::quit);
        if (keys(w, "ctrl+c"))
            loop.exec();
        QObject::disconnect(c);
    }

    bool paste(WindowHandle w) override
    {
        // The window asks this program for the clipboard's text; answer it,
        // and tell the caller when it has been asked.
        ClipboardFetchWatch watch(clipboardAtom_, targetsAtom_);
        if (!keys(w, "ctrl+v"))
            return false;
        QElapsedTimer t;
        t.start();
        while (!watch.fetched && t.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        // A long text goes in pieces, each asked for after the last.
        QElapsedTimer rest;
        rest.start();
        while (watch.fetched && rest.elapsed() < 100)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return watch.fetched;
    }

private:
    xcb_atom_t atom(const char *name)
    {
        auto *r = xcb_intern_atom_reply(conn_, xcb_intern_atom(conn_, 0, std::uint16_t(std::strlen(name)), name),
                                        nullptr);
        if (!r)
            return 0;
        const xcb_atom_t a = r->atom;
        std::free(r);
        return a;
    }

    xcb_window_t windowProperty(xcb_window_t w, xcb_atom_t prop)
    {
        if (!prop)
            return 0;
        auto *r = xcb_get_property_reply(conn_, xcb_get_property(conn_, 0, w, prop, XCB_ATOM_WINDOW, 0, 1), nullptr);
        if (!r)
            return 0;
        xcb_window_t v = 0;
        if (r->format == 32 && xcb_get_property_value_length(r) >= 4)
            v = *static_cast<xcb_window_t *>(xcb_get_property_value(r));
        std::free(r);
        return v;
    }

    bool anyKeyDown()
    {
        auto *r = xcb_query_keymap_reply(conn_, xcb_query_keymap(conn_), nullptr);
        if (!r)
            return false;
        bool down = false;
        for (std::uint8_t byte : r->keys)
            down = down || byte != 0;
        std::free(r);
        return down;
    }

    bool hasClass(xcb_window_t w, const std::string &cls)
    {
        auto *r = xcb_get_property_reply(
            conn_, xcb_get_property(conn_, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr);
        if (!r)
            return false;
        const int len = xcb_get_property_value_length(r);
        const char *v = static_cast<const char *>(xcb_get_property_value(r));
        // "instance\0class\0"
        bool match = false;
        for (int i = 0; i < len && !match;) {
            const std::string part(v + i, strnlen(v + i, std::size_t(len - i)));
            match = part == cls;
            i += int(part.size()) + 1;
        }
        std::free(r);
        return match;
    }

    void focus(WindowHandle w)
    {
        xcb_void_cookie_t c = xcb_set_input_focus_checked(conn_, XCB_INPUT_FOCUS_PARENT, xcb_window_t(w),
                                                          XCB_CURRENT_TIME);
        if (xcb_generic_error_t *e = xcb_request_check(conn_, c))
            std::free(e); // an unmapped window cannot take the focus
        xcb_flush(conn_);
    }

    // Key strokes go to the window with the focus, so the target gets it first.
    bool keys(WindowHandle w, const char *combo)
    {
        if (!w)
            return false;
        const QString tool = QStandardPaths::findExecutable("xdotool");
        if (tool.isEmpty())
            return false;
        focus(w);
        QProcess p;
        p.start(tool, {"key", "--clearmodifiers", QString::fromLatin1(combo)});
        if (!p.waitForFinished(3000)) {
            p.kill();
            p.waitForFinished(1000);
            return false;
        }
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    xcb_connection_t *conn_;
    xcb_window_t root_;
    xcb_atom_t activeAtom_ = 0, wmCheckAtom_ = 0, clipboardAtom_ = 0, targetsAtom_ = 0;
};

class NoForeignWindows : public ForeignWindows {
public:
    WindowHandle foreground() override { return 0; }
    WindowHandle findChild(WindowHandle, const std::string &) override { return 0; }
    void setForeground(WindowHandle) override {}
    void selectAll(WindowHandle) override {}
    void copy(WindowHandle) override {}
    bool paste(WindowHandle) override { return false; }
};

} // namespace

std::unique_ptr<ForeignWindows> createSystemForeignWindows()
{
    if (auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr)
        if (xcb_connection_t *c = x11->connection())
            return std::make_unique<X11ForeignWindows>(c);
    return std::make_unique<NoForeignWindows>();
}

} // namespace platform
