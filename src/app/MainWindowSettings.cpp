#include "app/MainWindowSettings.h"

#include "app/SettingsStore.h"
#include "app/TFormLanguage.h"

#include <QCheckBox>
#include <QMainWindow>
#include <QPlainTextEdit>

namespace {

QString fromLatin1(const std::string &s) { return QString::fromLatin1(s.c_str(), int(s.size())); }

} // namespace

std::string stripTrailingSlash(std::string s)
{
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

std::optional<QRect> loadWindowSettings(QMainWindow &w, MainWindowControls &c, app::AppState &st, QSize minOuter)
{
    std::optional<QRect> pending;
    app::SettingsValues v;
    const QRect outer = w.frameGeometry();
    v.left = outer.x();
    v.top = outer.y();
    v.width = outer.width();
    v.height = outer.height();
    v.pgpPath = st.pgpDir;
    const app::SettingsValues creation = v;

    app::LoadResult r;
    if (st.sys.registry)
        r = app::loadSettings(*st.sys.registry, v);
    else
        r.firstStart = true;

    if (r.ok && !r.firstStart)
        st.settingsRead = v;
    if (r.firstStart) {
        st.firstStart = true;
        v = app::firstStartValues(creation);
        v.language = TFormLanguage::choose(&w);
    }

    // Bounds: only those stored move the window; without them the window
    // system places it.
    if (v.left != creation.left || v.top != creation.top)
        w.move(v.left, v.top);
    if (v.width != creation.width || v.height != creation.height) {
        pending = QRect(v.left, v.top, v.width, v.height);
        w.resize(std::max(v.width, minOuter.width()), std::max(v.height, minOuter.height()));
    }
    if (v.maximized)
        w.setWindowState(w.windowState() | Qt::WindowMaximized);
    c.CheckBox1->setChecked(v.breakSig);
    c.CheckBox2->setChecked(v.radix64);
    c.CheckBox3->setChecked(v.textMode);
    st.pgpDir = stripTrailingSlash(v.pgpPath);
    st.kLoadPath = v.kLoadPath;
    st.kSavePath = v.kSavePath;
    c.Panel2->setVisible(v.ubPanel);
    c.muHideUb->setChecked(v.ubPanel);
    c.RichEdit1->setLineWrapMode(v.wordwrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    c.pmuZBruch->setChecked(v.wordwrap);
    st.configText = v.configText;
    st.browser = v.browser;
    st.language = v.language;
    st.editorFont = v.editorFont;
    st.scEncrypt = v.scEncrypt;
    st.scDecrypt = v.scDecrypt;
    st.scSign = v.scSign;
    // The shared dialogs start in the key folders.
    c.OpenDialog1.initialDir = fromLatin1(st.kLoadPath);
    c.SaveDialog1.initialDir = fromLatin1(st.kSavePath);

    if (!r.ok)
        st.dialogs->platformError(r.error);
    return pending;
}


app::SettingsValues windowSettings(const QMainWindow &w, const MainWindowControls &c, const app::AppState &st)
{
    app::SettingsValues v;
    const QRect outer = w.frameGeometry();
    v.left = outer.x();
    v.top = outer.y();
    v.width = outer.width();
    v.height = outer.height();
    v.maximized = w.isMaximized();
    v.breakSig = c.CheckBox1->isChecked();
    v.radix64 = c.CheckBox2->isChecked();
    v.textMode = c.CheckBox3->isChecked();
    v.pgpPath = st.pgpDir;
    v.kLoadPath = st.kLoadPath;
    v.kSavePath = st.kSavePath;
    v.ubPanel = !c.Panel2->isHidden();
    v.wordwrap = c.RichEdit1->lineWrapMode() != QPlainTextEdit::NoWrap;
    v.configText = st.configText;
    v.browser = st.browser;
    v.language = st.language;
    v.editorFont = st.editorFont;
    v.scEncrypt = st.scEncrypt;
    v.scDecrypt = st.scDecrypt;
    v.scSign = st.scSign;
    return v;
}

void applyOuterSizes(QMainWindow &w, QSize minOuter, const std::optional<QRect> &storedOuter)
{
    const QRect inner = w.geometry(), outer = w.frameGeometry();
    const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    const int dw = outer.width() - inner.width(), dh = outer.height() - inner.height();
    w.setMinimumSize(std::max(1, minOuter.width() - dw), std::max(1, minOuter.height() - dh));
    if (storedOuter && !w.isMaximized())
        w.resize(storedOuter->width() - frame.left() - frame.right(),
                 storedOuter->height() - frame.top() - frame.bottom());
}
