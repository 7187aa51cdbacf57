// Opening the recipient chooser over an ID.txt of 10,000 keys: from the
// start of the chooser's creation to the end of the list's first paint.
//
//   bench_chooser [KEYS] [RUNS]
#include "app/AppState.h"
#include "keys/TForm4.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

// Notes the end of the first paint of the watched widget.
class FirstPaint : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && !painted) {
            o->removeEventFilter(this);
            o->event(e);
            painted = true;
            return true;
        }
        return false;
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication qapp(argc, argv);
    const int keys = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;

    namespace fs = std::filesystem;
    const fs::path base = fs::temp_directory_path() / ("quorbix-bench-chooser-" + std::to_string(::getpid()));
    fs::create_directories(base);
    {
        std::ofstream id(base / "ID.txt", std::ios::binary);
        id << "Key ring: 'pubring.pgp'\r\nType bits/keyID    Date       User ID\r\n";
        char buf[128];
        for (int i = 0; i < keys; ++i) {
            std::snprintf(buf, sizeof buf, "pub  %4d/%08X 1998/05/17 Benchmark User %d <u%d@example.org>\r\n",
                          i % 2 ? 1024 : 2048, i, i, i);
            id << buf;
        }
        id << keys << " matching keys found.\r\n";
    }

    app::AppState st;
    st.sys = platform::systemServices();
    st.appDir = base.string();
    std::vector<double> ms;
    int rows = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        FirstPaint watch;
        TForm4 chooser(st);
        chooser.ListView1->viewport()->installEventFilter(&watch);
        chooser.LoadUserList();
        chooser.show();
        while (!watch.painted && t.elapsed() < 10000)
            QCoreApplication::processEvents();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        rows = chooser.model->rowCount();
        chooser.hide();
    }
    fs::remove_all(base);
    std::sort(ms.begin(), ms.end());
    std::printf("chooser open to first paint, %d keys, %d rows (%s): min %.1f ms, median %.1f ms, max %.1f ms\n", keys,
                rows, qPrintable(QGuiApplication::platformName()), ms.front(), ms[ms.size() / 2], ms.back());
    return rows == keys ? 0 : 1;
}
