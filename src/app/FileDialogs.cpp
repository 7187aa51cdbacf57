#include "app/FileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>

namespace app {

namespace {

// Qt's dialog reads double quotes in a typed name as the separators of a
// list of names ("a" "b"); these dialogs take one name, quotes and all.
class SingleNameDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    QString typedName; // set when the typed text was taken whole

    void accept() override
    {
        auto *edit = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        const QString text = edit ? edit->text() : QString();
        if (!text.contains(u'"')) {
            QFileDialog::accept();
            return;
        }
        const QFileInfo fi(QDir(directory()).absoluteFilePath(text));
        if (fi.isDir()) {
            setDirectory(fi.absoluteFilePath());
            edit->clear();
            return;
        }
        if (acceptMode() == AcceptSave && fi.exists() && !testOption(DontConfirmOverwrite) &&
            QMessageBox::warning(this, windowTitle(),
                                 QFileDialog::tr("%1 already exists.\nDo you want to replace it?").arg(fi.fileName()),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
            return;
        typedName = fi.absoluteFilePath();
        QDialog::accept();
    }
};

} // namespace

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

    SingleNameDialog dlg(parent, title);
    dlg.setObjectName(mode_ == Mode::Open ? "OpenDialog1" : "SaveDialog1");
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setAcceptMode(mode_ == Mode::Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    // No must-exist check when opening either: a button may name a new output
    // file here, and PGP reports a missing input itself.
    dlg.setFileMode(QFileDialog::AnyFile);
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

    if (dlg.exec() != QDialog::Accepted)
        return false;
    if (!dlg.typedName.isEmpty())
        fileName = dlg.typedName;
    else if (!dlg.selectedFiles().isEmpty())
        fileName = dlg.selectedFiles().first();
    else
        return false;
    filterIndex = filters.indexOf(dlg.selectedNameFilter()) + 1;
    return true;
}

} // namespace app
