// The help window: the HTML help page in a text browser, scrolled to the
// context's anchor. One window per help file, reused.
#include "platform/HelpTopic.h"
#include "platform/Platform.h"

#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QMainWindow>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <map>

namespace platform {

namespace {

QString fromPage(const std::string &html)
{
    // Pages declare their charset; without a UTF-8 declaration take Latin-1.
    QByteArray bytes(html.data(), static_cast<qsizetype>(html.size()));
    if (bytes.toLower().contains("charset=utf-8"))
        return QString::fromUtf8(bytes);
    return QString::fromLatin1(bytes);
}

bool readPage(const std::string &file, std::string &html)
{
    QFile f(QString::fromLocal8Bit(file.c_str()));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    QByteArray b = f.readAll();
    html.assign(b.constData(), static_cast<std::size_t>(b.size()));
    return true;
}

QString missingFileHtml(const std::string &file)
{
    return QStringLiteral("<h3>Hilfe nicht verfügbar / Help not available</h3>"
                          "<p>Die Hilfedatei wurde nicht gefunden / The help file was not found:</p><p><tt>%1</tt></p>")
        .arg(QString::fromLocal8Bit(file.c_str()).toHtmlEscaped());
}

class QtHelpViewer : public HelpViewer {
public:
    void showContext(const std::string &helpFile, int context) override
    {
        QMainWindow *w = windowFor(helpFile);
        auto *browser = w->findChild<QTextBrowser *>("HelpBrowser");
        std::string html;
        if (!readPage(helpFile, html)) {
            browser->setHtml(missingFileHtml(helpFile));
            w->statusBar()->showMessage(QStringLiteral("Datei nicht gefunden"));
        } else {
            QUrl url = QUrl::fromLocalFile(QString::fromLocal8Bit(helpFile.c_str()));
            const bool found = findHelpAnchor(html, context) != std::string::npos;
            if (found)
                url.setFragment(QString::fromStdString(helpAnchor(context)));
            browser->setSource(url);
            if (found) {
                browser->scrollToAnchor(QString::fromStdString(helpAnchor(context)));
                w->statusBar()->clearMessage();
            } else {
                w->statusBar()->showMessage(
                    QStringLiteral("Hilfethema %1 nicht gefunden / Help topic %1 not found").arg(context));
            }
        }
        w->show();
        w->raise();
        w->activateWindow();
    }

    void showPopup(const std::string &helpFile, int context) override
    {
        if (popup_)
            popup_->close();
        std::string html;
        QString body;
        if (!readPage(helpFile, html)) {
            body = missingFileHtml(helpFile);
        } else {
            std::string topic = helpTopicHtml(html, context);
            body = topic.empty()
                       ? QStringLiteral("<p>Hilfethema %1 nicht gefunden / Help topic %1 not found</p>").arg(context)
                       : fromPage(topic);
        }
        auto *frame = new QFrame(nullptr, Qt::Popup | Qt::FramelessWindowHint);
        frame->setAttribute(Qt::WA_DeleteOnClose);
        frame->setFrameShape(QFrame::Box);
        frame->setObjectName("HelpPopup");
        frame->setAccessibleName(QStringLiteral("Hilfe"));
        auto *layout = new QVBoxLayout(frame);
        layout->setContentsMargins(2, 2, 2, 2);
        auto *browser = new QTextBrowser(frame);
        browser->setObjectName("HelpPopupText");
        browser->setAccessibleName(QStringLiteral("Hilfethema"));
        browser->setSearchPaths({QFileInfo(QString::fromLocal8Bit(helpFile.c_str())).absolutePath()});
        browser->setHtml(body);
        layout->addWidget(browser);
        frame->resize(380, 220);
        QPoint pos = QCursor::pos() + QPoint(8, 8);
        if (QScreen *s = QGuiApplication::screenAt(QCursor::pos())) {
            QRect r = s->availableGeometry();
            pos.setX(std::min(pos.x(), r.right() - frame->width()));
            pos.setY(std::min(pos.y(), r.bottom() - frame->height()));
        }
        frame->move(pos);
        frame->show();
        popup_ = frame;
    }

    void close(const std::string &helpFile) override
    {
        auto it = windows_.find(helpFile);
        if (it == windows_.end())
            return;
        if (it->second)
            delete it->second.data();
        windows_.erase(it);
    }

private:
    QMainWindow *windowFor(const std::string &helpFile)
    {
        auto &slot = windows_[helpFile];
        if (!slot) {
            auto *w = new QMainWindow;
            w->setObjectName("HelpWindow");
            w->setWindowTitle(QStringLiteral("Quorbix - Hilfe"));
            auto *browser = new QTextBrowser(w);
            browser->setObjectName("HelpBrowser");
            browser->setAccessibleName(QStringLiteral("Hilfetext"));
            browser->setOpenExternalLinks(true);
            w->setCentralWidget(browser);
            w->resize(640, 520);
            slot = w;
        }
        return slot.data();
    }

    std::map<std::string, QPointer<QMainWindow>> windows_;
    QPointer<QFrame> popup_;
};

} // namespace

HelpViewer &systemHelpViewer()
{
    static QtHelpViewer viewer;
    return viewer;
}

} // namespace platform
