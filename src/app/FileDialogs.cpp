#include "app/FileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace app {

std::function<bool(FileDialog &)> &FileDialog::testHook()
{
    static std::function<bool(FileDialog &)> hook;
    return hook;
}

QStringList FileDialog::qtFilters(const QString &filter)
{
    // "(*.asc,*.pgp,*.sig)|*.asc;*.pgp;*.sig" becomes "(*.asc,*.pgp,*.sig) (*.asc *.pgp *.sig)".
    QStringList out;
    const QStringList parts = filter.split('|');
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        if (patterns == "*.*")
            patterns = "*";
        out << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return out;
}

bool FileDialog::execute(QWidget *parent)
{
    if (testHook())
        return testHook()(*this);

    QFileDialog dlg(parent, title);
    dlg.setObjectName(mode_ == Mode::Open ? "OpenDialog1" : "SaveDialog1");
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setAcceptMode(mode_ == Mode::Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dlg.setFileMode(mode_ == Mode::Open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, !overwritePrompt);
    const QStringList filters = qtFilters(filter);
    dlg.setNameFilters(filters);
    if (filterIndex >= 1 && filterIndex <= filters.size())
        dlg.selectNameFilter(filters[filterIndex - 1]);

    QString dir = initialDir;
    QFileInfo fi(fileName);
    if (!fileName.isEmpty() && fi.isAbsolute())
        dir = fi.absolutePath();
    if (!dir.isEmpty() && QDir(dir).exists())
        dlg.setDirectory(dir);
    if (!fileName.isEmpty())
        dlg.selectFile(fi.fileName());

    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return false;
    fileName = dlg.selectedFiles().first();
    filterIndex = filters.indexOf(dlg.selectedNameFilter()) + 1;
    return true;
}

} // namespace app
