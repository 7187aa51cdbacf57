// A stand-in mail window for the hotkeys' mail-window route: a top-level
// window with the mail program's child windows ("ATH_Body" holding
// "HTMLEDIT", under a "MailViewer" for a reading window) whose text takes
// Ctrl+A, Ctrl+C and Ctrl+V as a mail editor does, on the real CLIPBOARD.
// Copying an empty selection copies nothing. Every change of the text is
// written to the state file, so that a test can read what the mail holds.
//
// usage: fakemail compose|reader TITLE TEXT-FILE STATE-FILE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

Display *dpy;
Window top, body, edit;
Atom clipboardAtom, targetsAtom, utf8Atom, textAtom, pasteProp, incrAtom, deleteAtom;
std::string text, copied, statePath;
bool allSelected = false;

void setClass(Window w, const char *name)
{
    XClassHint hint;
    hint.res_name = const_cast<char *>(name);
    hint.res_class = const_cast<char *>(name);
    XSetClassHint(dpy, w, &hint);
}

Window child(Window parent, const char *cls, int x, int y, unsigned wd, unsigned ht)
{
    Window w = XCreateSimpleWindow(dpy, parent, x, y, wd, ht, 1, BlackPixel(dpy, 0), WhitePixel(dpy, 0));
    setClass(w, cls);
    XSelectInput(dpy, w, KeyPressMask | ExposureMask);
    XMapWindow(dpy, w);
    return w;
}

void saveState()
{
    const std::string tmp = statePath + ".new";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << text;
    }
    std::rename(tmp.c_str(), statePath.c_str());
}

void draw()
{
    XClearWindow(dpy, edit);
    GC gc = DefaultGC(dpy, 0);
    std::istringstream lines(text);
    std::string line;
    int y = 15;
    while (std::getline(lines, line) && y < 400) {
        XDrawString(dpy, edit, gc, 5, y, line.data(), int(line.size()));
        y += 14;
    }
    if (allSelected)
        XDrawRectangle(dpy, edit, gc, 1, 1, 480, 10);
}

void changed()
{
    saveState();
    draw();
}

void key(XKeyEvent &ev)
{
    const KeySym sym = XLookupKeysym(&ev, 0);
    if (!(ev.state & ControlMask))
        return;
    if (sym == XK_a) {
        allSelected = true;
        draw();
    } else if (sym == XK_c) {
        if (!allSelected || text.empty())
            return;
        copied = text;
        XSetSelectionOwner(dpy, clipboardAtom, edit, ev.time);
    } else if (sym == XK_v) {
        XDeleteProperty(dpy, edit, pasteProp);
        XConvertSelection(dpy, clipboardAtom, utf8Atom, pasteProp, edit, ev.time);
    }
}

void answer(XSelectionRequestEvent &req)
{
    XSelectionEvent ev{};
    ev.type = SelectionNotify;
    ev.display = req.display;
    ev.requestor = req.requestor;
    ev.selection = req.selection;
    ev.target = req.target;
    ev.time = req.time;
    ev.property = req.property ? req.property : req.target;
    if (req.target == targetsAtom) {
        Atom offered[] = {targetsAtom, utf8Atom, XA_STRING, textAtom};
        XChangeProperty(dpy, req.requestor, ev.property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char *>(offered), 4);
    } else if (req.target == utf8Atom || req.target == XA_STRING || req.target == textAtom) {
        XChangeProperty(dpy, req.requestor, ev.property, req.target == utf8Atom ? utf8Atom : XA_STRING, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char *>(copied.data()),
                        int(copied.size()));
    } else {
        ev.property = None;
    }
    XSendEvent(dpy, req.requestor, False, 0, reinterpret_cast<XEvent *>(&ev));
    XFlush(dpy);
}

void pasted(XSelectionEvent &ev)
{
    if (ev.property == None)
        return; // nobody holds the clipboard, or not as text
    Atom type;
    int format;
    unsigned long n, left;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(dpy, edit, pasteProp, 0, 1 << 24, True, AnyPropertyType, &type, &format, &n, &left,
                           &data) != Success)
        return;
    if (type != incrAtom && format == 8) {
        const std::string got(reinterpret_cast<char *>(data), n);
        if (allSelected)
            text = got;
        else
            text += got;
        allSelected = false;
        changed();
    }
    if (data)
        XFree(data);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: fakemail compose|reader TITLE TEXT-FILE STATE-FILE\n");
        return 2;
    }
    const bool reader = std::strcmp(argv[1], "reader") == 0;
    {
        std::ifstream in(argv[3], std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    statePath = argv[4];
    dpy = XOpenDisplay(nullptr);
    if (!dpy) {
        std::fprintf(stderr, "fakemail: no display\n");
        return 1;
    }
    clipboardAtom = XInternAtom(dpy, "CLIPBOARD", False);
    targetsAtom = XInternAtom(dpy, "TARGETS", False);
    utf8Atom = XInternAtom(dpy, "UTF8_STRING", False);
    textAtom = XInternAtom(dpy, "TEXT", False);
    pasteProp = XInternAtom(dpy, "FAKEMAIL_PASTE", False);
    incrAtom = XInternAtom(dpy, "INCR", False);
    deleteAtom = XInternAtom(dpy, "WM_DELETE_WINDOW", False);

    top = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 100, 100, 500, 320, 0, BlackPixel(dpy, 0),
                              WhitePixel(dpy, 0));
    setClass(top, reader ? "Outlook Express Browser Class" : "ATH_Note");
    XStoreName(dpy, top, argv[2]);
    XWMHints hints{};
    hints.flags = InputHint;
    hints.input = True;
    XSetWMHints(dpy, top, &hints);
    XSetWMProtocols(dpy, top, &deleteAtom, 1);
    XSelectInput(dpy, top, KeyPressMask);
    Window parent = top;
    if (reader)
        parent = child(top, "MailViewer", 0, 0, 500, 320);
    body = child(parent, "ATH_Body", 5, 5, 490, 310);
    edit = child(body, "HTMLEDIT", 0, 0, 488, 308);
    XSelectInput(dpy, edit, KeyPressMask | ExposureMask | PropertyChangeMask);
    XMapWindow(dpy, top);
    saveState();

    for (;;) {
        XEvent ev;
        XNextEvent(dpy, &ev);
        switch (ev.type) {
        case KeyPress: key(ev.xkey); break;
        case Expose:
            if (ev.xexpose.window == edit && ev.xexpose.count == 0)
                draw();
            break;
        case SelectionRequest: answer(ev.xselectionrequest); break;
        case SelectionClear: copied.clear(); break;
        case SelectionNotify: pasted(ev.xselection); break;
        case ClientMessage:
            if (Atom(ev.xclient.data.l[0]) == deleteAtom)
                return 0;
            break;
        }
    }
}
