#include "ui/ApplyTexts.h"

#include "ui/Text.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QTabWidget>
#include <QWidget>

namespace ui {

std::string shortHint(const std::string &hint)
{
    const auto bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(0, bar);
}

std::string longHint(const std::string &hint)
{
    const auto bar = hint.find('|');
    return bar == std::string::npos ? hint : hint.substr(bar + 1);
}

namespace {

// Prefers an action over a widget of the same name, and a widget over any
// other object, so a menu's own action never shadows its entries.
QObject *findControl(QObject *root, const char *name)
{
    if (!name || !*name)
        return root;
    const QString n = QString::fromLatin1(name);
    const QList<QObject *> found = root->findChildren<QObject *>(n);
    QObject *widget = nullptr, *other = nullptr;
    for (QObject *o : found) {
        if (qobject_cast<QAction *>(o))
            return o;
        if (!widget && o->isWidgetType())
            widget = o;
        if (!other)
            other = o;
    }
    return widget ? widget : other;
}

// A page of a tab widget shows its caption on its tab.
QTabWidget *tabOwner(QWidget *page, int *index)
{
    QWidget *stack = page->parentWidget();
    if (!qobject_cast<QStackedWidget *>(stack))
        return nullptr;
    auto *tabs = qobject_cast<QTabWidget *>(stack->parentWidget());
    if (!tabs)
        return nullptr;
    *index = tabs->indexOf(page);
    return *index >= 0 ? tabs : nullptr;
}

void setCaption(QObject *o, bool isRoot, const QString &caption)
{
    if (auto *a = qobject_cast<QAction *>(o)) {
        a->setText(caption);
        return;
    }
    auto *w = qobject_cast<QWidget *>(o);
    if (!w) {
        o->setProperty("text", caption);
        return;
    }
    if (auto *m = qobject_cast<QMenu *>(w))
        m->setTitle(caption);
    else if (isRoot || w->isWindow())
        w->setWindowTitle(caption);
    else if (auto *b = qobject_cast<QAbstractButton *>(w))
        b->setText(caption);
    else if (auto *g = qobject_cast<QGroupBox *>(w))
        g->setTitle(caption);
    else if (auto *l = qobject_cast<QLabel *>(w))
        l->setText(caption);
    else {
        int index = -1;
        if (QTabWidget *tabs = tabOwner(w, &index))
            tabs->setTabText(index, caption);
        w->setWindowTitle(caption);
    }
    w->setAccessibleName(withoutAccessKey(caption));
}

void setHint(QObject *o, const std::string &hint)
{
    const QString tip = toQString(shortHint(hint));
    const QString status = toQString(longHint(hint));
    if (auto *m = qobject_cast<QMenu *>(o)) {
        m->menuAction()->setToolTip(tip);
        m->menuAction()->setStatusTip(status);
        return;
    }
    if (auto *a = qobject_cast<QAction *>(o)) {
        a->setToolTip(tip);
        a->setStatusTip(status);
    } else if (auto *w = qobject_cast<QWidget *>(o)) {
        w->setToolTip(tip);
        w->setStatusTip(status);
    }
}

} // namespace

void applyControlTexts(QObject *root, const std::vector<ControlText> &texts)
{
    if (!root)
        return;
    for (const ControlText &t : texts) {
        QObject *o = findControl(root, t.object);
        if (!o)
            continue;
        if (t.caption)
            setCaption(o, o == root, toQString(t.caption));
        if (t.hint)
            setHint(o, t.hint);
    }
}

void applyShortcuts(QObject *root, const std::vector<ControlShortcut> &keys)
{
    if (!root)
        return;
    for (const ControlShortcut &k : keys) {
        QObject *o = findControl(root, k.object);
        if (auto *m = qobject_cast<QMenu *>(o))
            o = m->menuAction();
        if (auto *a = qobject_cast<QAction *>(o))
            a->setShortcut(QKeySequence(QString::fromLatin1(k.keys), QKeySequence::PortableText));
    }
}

std::vector<std::string> missingControls(QObject *root, const std::vector<ControlText> &texts)
{
    std::vector<std::string> missing;
    for (const ControlText &t : texts)
        if (!root || !findControl(root, t.object))
            missing.emplace_back(t.object ? t.object : "");
    return missing;
}

} // namespace ui
