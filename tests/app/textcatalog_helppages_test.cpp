// The two help pages: one anchor for every help context the program opens,
// a real topic behind each, links that lead somewhere, CR LF lines, UTF-8.
#include "app/TextCatalog.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

#include <cstring>
#include <map>
#include <set>

namespace {

QByteArray readPage(const char *name)
{
    QFile f(QStringLiteral(QUORBIX_SOURCE_DIR "/resources/help/") + QLatin1String(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

// Anchor name -> how often it occurs.
std::map<int, int> anchors(const QString &html)
{
    std::map<int, int> out;
    static const QRegularExpression re(QStringLiteral("<a\\s+name=\"ctx(\\d+)\"\\s*>"),
                                       QRegularExpression::CaseInsensitiveOption);
    for (auto it = re.globalMatch(html); it.hasNext();)
        ++out[it.next().captured(1).toInt()];
    return out;
}

// The topic's visible text: from its anchor up to the next context anchor.
QString topicText(const QString &html, int context)
{
    const QString tag = QStringLiteral("<a name=\"ctx%1\">").arg(context);
    qsizetype start = html.indexOf(tag);
    if (start < 0)
        return {};
    start += tag.size();
    qsizetype end = html.indexOf(QStringLiteral("<a name=\"ctx"), start);
    if (end < 0)
        end = html.indexOf(QStringLiteral("</body>"), start);
    QString text = html.mid(start, end - start);
    text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    return text.simplified();
}

} // namespace

TEST(HelpPages, AnchorAndTopicForEveryContextInBothLanguages)
{
    const std::vector<int> contexts = app::allHelpContexts();
    ASSERT_FALSE(contexts.empty());
    std::set<int> known(contexts.begin(), contexts.end());
    std::map<std::string, std::set<int>> anchorSets;

    for (const char *name : {"Quorbix.html", "Quorbixe.html"}) {
        SCOPED_TRACE(name);
        const QByteArray bytes = readPage(name);
        ASSERT_FALSE(bytes.isEmpty());

        QStringDecoder dec(QStringDecoder::Utf8);
        const QString html = dec.decode(bytes);
        EXPECT_FALSE(dec.hasError()) << "not UTF-8";
        EXPECT_TRUE(bytes.toLower().contains("charset=utf-8"));
        EXPECT_EQ(bytes.count("\n"), bytes.count("\r\n")) << "lines must end in CR LF";

        const auto found = anchors(html);
        for (int c : contexts) {
            auto it = found.find(c);
            ASSERT_NE(it, found.end()) << "no anchor ctx" << c;
            EXPECT_EQ(it->second, 1) << "ctx" << c << " more than once";
            // A heading and at least a couple of sentences.
            EXPECT_GE(topicText(html, c).size(), 120) << "ctx" << c << ": " << topicText(html, c).toStdString();
        }
        for (const auto &[c, n] : found) {
            EXPECT_TRUE(known.count(c)) << "anchor ctx" << c << " is opened by nothing";
            anchorSets[name].insert(c);
        }

        // The contents comes first and every internal link has its target.
        EXPECT_EQ(html.indexOf(QStringLiteral("name=\"ctx")), html.indexOf(QStringLiteral("name=\"ctx10\"")));
        static const QRegularExpression link(QStringLiteral("href=\"#ctx(\\d+)\""));
        int links = 0;
        for (auto it = link.globalMatch(html); it.hasNext(); ++links) {
            const int c = it.next().captured(1).toInt();
            EXPECT_TRUE(found.count(c)) << "link to missing ctx" << c;
        }
        EXPECT_GE(links, int(contexts.size()) - 1) << "the contents should list every topic";
    }
    EXPECT_EQ(anchorSets["Quorbix.html"], anchorSets["Quorbixe.html"]);
}

TEST(HelpPages, MenuCaptionsReadAsTheMenusShowThem)
{
    // Every caption of the main window's menus that a page quotes appears
    // without its access-key mark, as the menu shows it.
    int quoted = 0;
    for (const auto &[name, window] : {std::pair{"Quorbix.html", app::germanTexts(app::Window::MainWindow)},
                                       std::pair{"Quorbixe.html", app::englishTexts(app::Window::MainWindow)}}) {
        SCOPED_TRACE(name);
        QStringDecoder dec(QStringDecoder::Utf8);
        const QString html = dec.decode(readPage(name));
        static const QRegularExpression mark(QStringLiteral("&amp;\\w"));
        const auto m = mark.match(html);
        EXPECT_FALSE(m.hasMatch()) << html.mid(std::max<qsizetype>(0, m.capturedStart() - 40), 80).toStdString();
        for (const app::ControlText &t : window) {
            if (!t.caption || !std::strchr(t.caption, '&'))
                continue;
            QString shown = QString::fromUtf8(t.caption);
            shown.remove('&');
            if (html.contains(QStringLiteral("&quot;") + shown.toHtmlEscaped() + QStringLiteral("&quot;")))
                ++quoted;
        }
    }
    EXPECT_GE(quoted, 8); // "Beenden", "Quit", "Projekt", "Setup" ... are quoted as shown
}
