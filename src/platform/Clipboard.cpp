// The desktop clipboard through Qt.
#include "platform/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QString>

namespace platform {
namespace {

class QtClipboard : public Clipboard {
public:
    std::string text() const override
    {
        if (!qGuiApp)
            return {};
        return QGuiApplication::clipboard()->text(QClipboard::Clipboard).toStdString();
    }
    void setText(const std::string &utf8) override
    {
        if (qGuiApp)
            QGuiApplication::clipboard()->setText(QString::fromStdString(utf8), QClipboard::Clipboard);
    }
    void clear() override
    {
        if (qGuiApp)
            QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
    }
};

} // namespace

Clipboard &systemClipboard()
{
    static QtClipboard clip;
    return clip;
}

} // namespace platform
