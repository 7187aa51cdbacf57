// Launch -> key tree on the screen, measured from outside through the X server only:
// starts the program, clicks the tree button as soon as the main window is painted,
// and notes when the wait dialog comes and goes and when the tree's rows are on the
// screen. Then the program's resident and peak memory, and it is ended.
//
// usage: frontend_trip MAIN-TITLE DIALOG-TITLE BUTTON-X BUTTON-Y -- PROGRAM [ARGS...]
// prints: window=MS shown=MS dialog=MS filled=MS painted=MS rss_kb=N hwm_kb=N pss_kb=N private_kb=N
// (milliseconds from the start; dialog and filled are -1 when the dialog was not seen)
//
// usage: frontend_trip --settle MAIN-TITLE -- PROGRAM [ARGS...]
// for a peer that lists its keys at start without a click: painted is when the window's
// picture last changed, once it has stood still for two seconds and no gpg runs any more
// (the peer runs gpg a few times, and may show its window empty while gpg rebuilds the
// trust database).
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
Clock::time_point t0;

long ms() { return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count()); }

int ignoreErrors(Display *, XErrorEvent *) { return 0; }

// A viewable top-level window whose name contains the text.
Window findWindow(Display *d, const char *title)
{
    Window root = DefaultRootWindow(d), parent, *kids = nullptr;
    unsigned n = 0;
    Window found = 0;
    if (!XQueryTree(d, root, &root, &parent, &kids, &n))
        return 0;
    for (unsigned i = n; i-- > 0 && !found;) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(d, kids[i], &a) || a.map_state != IsViewable)
            continue;
        char *name = nullptr;
        if (XFetchName(d, kids[i], &name) && name) {
            if (std::strstr(name, title))
                found = kids[i];
            XFree(name);
        }
    }
    if (kids)
        XFree(kids);
    return found;
}

// The window's pixels, every fourth in each direction.
std::vector<unsigned long> sample(Display *d, Window w, int y0)
{
    std::vector<unsigned long> px;
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a) || a.height <= y0)
        return px;
    XImage *img = XGetImage(d, w, 0, y0, unsigned(a.width), unsigned(a.height - y0), AllPlanes, ZPixmap);
    if (!img)
        return px;
    for (int y = 0; y < img->height; y += 4)
        for (int x = 0; x < img->width; x += 4)
            px.push_back(XGetPixel(img, x, y));
    XDestroyImage(img);
    return px;
}

// Whether the tree's rows stand in the window: their key icons' gold, left of the
// text. A disabled editor, an empty tree page and a status line change many pixels
// too, but none of them has this colour.
bool keyIconsShown(Display *d, Window w, int y0)
{
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a) || a.height <= y0 + 40)
        return false;
    const int width = a.width < 80 ? a.width : 80;
    XImage *img = XGetImage(d, w, 0, y0, unsigned(width), unsigned(a.height - y0 - 30), AllPlanes, ZPixmap);
    if (!img)
        return false;
    int gold = 0;
    for (int y = 0; y < img->height; ++y)
        for (int x = 0; x < img->width; ++x) {
            const unsigned long p = XGetPixel(img, x, y);
            const unsigned r = (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = p & 0xff;
            gold += r > 200 && g > 150 && g < 220 && b < 90;
        }
    XDestroyImage(img);
    return gold >= 20;
}

size_t differing(const std::vector<unsigned long> &a, const std::vector<unsigned long> &b)
{
    if (a.size() != b.size())
        return a.size() > b.size() ? a.size() : b.size();
    size_t n = 0;
    for (size_t i = 0; i < a.size(); ++i)
        n += a[i] != b[i];
    return n;
}

bool uniform(const std::vector<unsigned long> &a)
{
    for (unsigned long p : a)
        if (p != a.front())
            return false;
    return true;
}

long statusKb(pid_t pid, const char *field)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    const size_t n = std::strlen(field);
    while (std::getline(f, line))
        if (line.compare(0, n, field) == 0)
            return std::atol(line.c_str() + n + 1);
    return -1;
}

// The whole screen as a binary PPM, to see what a failed run was looking at.
void screenshot(Display *d, const char *file)
{
    Window root = DefaultRootWindow(d);
    XWindowAttributes a;
    XGetWindowAttributes(d, root, &a);
    XImage *img = XGetImage(d, root, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    FILE *f = img ? std::fopen(file, "wb") : nullptr;
    if (f) {
        std::fprintf(f, "P6\n%d %d\n255\n", img->width, img->height);
        for (int y = 0; y < img->height; ++y)
            for (int x = 0; x < img->width; ++x) {
                unsigned long p = XGetPixel(img, x, y);
                unsigned char rgb[3] = {(unsigned char)(p >> 16), (unsigned char)(p >> 8), (unsigned char)p};
                std::fwrite(rgb, 1, 3, f);
            }
        std::fclose(f);
    }
    if (img)
        XDestroyImage(img);
}

struct Memory {
    long rss = -1, hwm = -1, pss = -1, priv = 0;
};

Memory memory(pid_t pid)
{
    Memory m;
    m.rss = statusKb(pid, "VmRSS:");
    m.hwm = statusKb(pid, "VmHWM:");
    // What is the program's own and its share of the shared pages (toolkit, ICU, fonts).
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
    std::string key;
    long kb;
    std::getline(in, key); // the "[rollup]" mapping line
    while (in >> key >> kb) {
        if (key == "Pss:")
            m.pss = kb;
        else if (key == "Private_Clean:" || key == "Private_Dirty:")
            m.priv += kb;
        in.ignore(1 << 20, '\n');
    }
    // Where the memory is: the mappings at this moment, for a closer look.
    if (const char *file = std::getenv("FRONTEND_TRIP_SMAPS")) {
        std::ifstream all("/proc/" + std::to_string(pid) + "/smaps");
        std::ofstream out(file);
        out << all.rdbuf();
    }
    return m;
}

void end(pid_t pid)
{
    kill(pid, SIGTERM);
    for (int i = 0; i < 200 && waitpid(pid, nullptr, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (waitpid(pid, nullptr, WNOHANG) == 0)
        kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

void nap() { std::this_thread::sleep_for(std::chrono::milliseconds(2)); }

} // namespace

// Every pixel of the window, for the settle mode: a scroll bar's thumb moves by a pixel.
std::vector<char> picture(Display *d, Window w)
{
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a))
        return {};
    XImage *img = XGetImage(d, w, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    if (!img)
        return {};
    std::vector<char> px(img->data, img->data + size_t(img->bytes_per_line) * size_t(img->height));
    XDestroyImage(img);
    return px;
}

// Whether any process named gpg runs (gpgme's children are not the peer's own children).
bool gpgRunning()
{
    DIR *proc = opendir("/proc");
    if (!proc)
        return false;
    bool found = false;
    while (dirent *e = readdir(proc)) {
        if (e->d_name[0] < '0' || e->d_name[0] > '9')
            continue;
        std::ifstream comm(std::string("/proc/") + e->d_name + "/comm");
        std::string name;
        if (std::getline(comm, name) && name == "gpg") {
            found = true;
            break;
        }
    }
    closedir(proc);
    return found;
}

int settle(Display *d, const char *mainTitle, char **program)
{
    const long limit = 60000, still = 2000;
    t0 = Clock::now();
    pid_t pid;
    if (posix_spawn(&pid, program[0], nullptr, nullptr, program, environ) != 0) {
        std::perror("spawn");
        return 2;
    }
    Window main = 0;
    while (!(main = findWindow(d, mainTitle))) {
        if (waitpid(pid, nullptr, WNOHANG) != 0 || ms() > limit) {
            std::fprintf(stderr, "no main window after %ld ms\n", ms());
            end(pid);
            return 1;
        }
        nap();
    }
    const long tWindow = ms();
    std::vector<char> last;
    long tChanged = tWindow;
    while (ms() - tChanged < still || gpgRunning()) {
        if (ms() > limit) {
            std::fprintf(stderr, "the window never stood still\n");
            end(pid);
            return 1;
        }
        std::vector<char> now = picture(d, main);
        if (now != last) {
            tChanged = ms();
            last = std::move(now);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const Memory m = memory(pid);
    std::printf("window=%ld painted=%ld rss_kb=%ld hwm_kb=%ld pss_kb=%ld private_kb=%ld\n", tWindow, tChanged, m.rss,
                m.hwm, m.pss, m.priv);
    end(pid);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc >= 5 && std::strcmp(argv[1], "--settle") == 0 && std::strcmp(argv[3], "--") == 0) {
        Display *d = XOpenDisplay(nullptr);
        if (!d) {
            std::fprintf(stderr, "no X display\n");
            return 2;
        }
        XSetErrorHandler(ignoreErrors);
        const int rc = settle(d, argv[2], argv + 4);
        XCloseDisplay(d);
        return rc;
    }
    if (argc < 7 || std::strcmp(argv[5], "--") != 0) {
        std::fprintf(stderr, "usage: %s MAIN-TITLE DIALOG-TITLE BUTTON-X BUTTON-Y -- PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    const char *mainTitle = argv[1], *dialogTitle = argv[2];
    const int bx = std::atoi(argv[3]), by = std::atoi(argv[4]);
    Display *d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);
    const long limit = 60000;

    t0 = Clock::now();
    pid_t pid;
    if (posix_spawn(&pid, argv[6], nullptr, nullptr, argv + 6, environ) != 0) {
        std::perror("spawn");
        return 2;
    }
    auto alive = [&] { return waitpid(pid, nullptr, WNOHANG) == 0; };
    auto fail = [&](const char *what) {
        std::fprintf(stderr, "%s after %ld ms\n", what, ms());
        if (const char *shot = std::getenv("FRONTEND_TRIP_SHOT"))
            screenshot(d, shot);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return 1;
    };

    Window main = 0;
    while (!(main = findWindow(d, mainTitle))) {
        if (!alive() || ms() > limit)
            return fail("no main window");
        nap();
    }
    const long tWindow = ms();
    // Painted: the same non-blank pixels twice in a row, 20 ms apart.
    std::vector<unsigned long> base, prev;
    for (;;) {
        base = sample(d, main, 0);
        if (!base.empty() && !uniform(base) && base == prev)
            break;
        if (ms() > limit)
            return fail("main window never painted");
        prev = base;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const long tShown = ms();

    XWindowAttributes a;
    XGetWindowAttributes(d, main, &a);
    Window child;
    int rx = 0, ry = 0;
    XTranslateCoordinates(d, main, DefaultRootWindow(d), 0, 0, &rx, &ry, &child);
    // The tree shows below the button bar: compare from the button's row down,
    // with the editor page as it was before the click (a small ring's tree
    // can stand before xdotool has even returned).
    const int treeTop = by + 20;
    base = sample(d, main, treeTop);
    const std::string click = "xdotool mousemove " + std::to_string(rx + bx) + " " + std::to_string(ry + by) + " click 1";
    if (std::system(click.c_str()) != 0)
        return fail("xdotool failed");
    long tDialog = -1, tFilled = -1, tPainted = -1;
    bool sawDialog = false;
    // A screen of rows differs from the editor page in far more than this many samples.
    const size_t rowsThreshold = base.size() / 50 + 50;
    while (tPainted < 0) {
        if (!alive() || ms() > limit)
            return fail("no tree");
        const bool dialog = findWindow(d, dialogTitle) != 0;
        if (dialog && !sawDialog) {
            sawDialog = true;
            tDialog = ms();
        }
        if (!dialog && sawDialog && tFilled < 0)
            tFilled = ms();
        // A small ring's dialog may come and go between two looks: the rows decide.
        if (!dialog && differing(base, sample(d, main, treeTop)) > rowsThreshold && keyIconsShown(d, main, treeTop))
            tPainted = ms();
        if (tPainted < 0)
            nap();
    }
    const Memory m = memory(pid);
    std::printf("window=%ld shown=%ld dialog=%ld filled=%ld painted=%ld rss_kb=%ld hwm_kb=%ld pss_kb=%ld private_kb=%ld\n",
                tWindow, tShown, tDialog, tFilled, tPainted, m.rss, m.hwm, m.pss, m.priv);
    end(pid);
    XCloseDisplay(d);
    return 0;
}
