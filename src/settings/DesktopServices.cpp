#include "settings/DesktopServices.h"

#include <QFileDialog>
#include <memory>

namespace desktop {

namespace {

DesktopServices &installed()
{
    static DesktopServices s;
    return s;
}

std::optional<std::string> desktopFolderDialog(QWidget *parent, const std::string &title)
{
    const QString dir = QFileDialog::getExistingDirectory(parent, QString::fromStdString(title), QStringLiteral("/"),
                                                          QFileDialog::ShowDirsOnly);
    if (dir.isEmpty())
        return std::nullopt;
    return dir.toStdString();
}

} // namespace

void installDesktopServices(const DesktopServices &s) { installed() = s; }

DesktopServices &desktopServices()
{
    DesktopServices &s = installed();
    if (!s.hotkeys) {
        static std::unique_ptr<platform::GlobalHotkeys> hk = platform::createSystemGlobalHotkeys();
        s.hotkeys = hk.get();
    }
    if (!s.clipboard)
        s.clipboard = &platform::systemClipboard();
    if (!s.windows) {
        static std::unique_ptr<platform::ForeignWindows> fw = platform::createSystemForeignWindows();
        s.windows = fw.get();
    }
    if (!s.fileTypes) {
        static platform::DesktopFileTypes ft(platform::systemEnvironment());
        s.fileTypes = &ft;
    }
    if (!s.chooseFolder)
        s.chooseFolder = desktopFolderDialog;
    return s;
}

} // namespace desktop
