#pragma once
// The main window's shared open and save dialogs. Like their Windows
// counterparts they keep a title, a filter, an initial directory and the file
// name between uses, since several commands hand file names to one another
// through them.

#include <QString>
#include <functional>

class QWidget;

namespace app {

class FileDialog {
public:
    enum class Mode { Open, Save };
    explicit FileDialog(Mode mode) : mode_(mode) {}

    QString title;
    // Filter in the "name|patterns|name|patterns" form, e.g. "(*.txt)|*.txt".
    QString filter;
    int filterIndex = 1; // 1-based, as the filter string counts its entries
    QString initialDir;
    QString fileName;
    bool overwritePrompt = false;

    // Shows the dialog modally; on OK fileName holds the full path chosen.
    bool execute(QWidget *parent);

    // Qt's name filter list made from the "|" form.
    static QStringList qtFilters(const QString &filter);

    // Tests replace the interactive dialog: the hook gets the dialog and
    // returns whether it was confirmed (after setting fileName).
    static std::function<bool(FileDialog &)> &testHook();

    Mode mode() const { return mode_; }

private:
    Mode mode_;
};

} // namespace app
