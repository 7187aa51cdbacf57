#include "app/TFormLanguage.h"

#include "app/TextCatalog.h"
#include "ui/ApplyTexts.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

TFormLanguage::TFormLanguage(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName("FormLanguage");
    setModal(true);

    auto *group = new QGroupBox(this);
    group->setObjectName("GroupBox1");
    rbGerman = new QRadioButton(group);
    rbGerman->setObjectName("rbGerman");
    rbEnglish = new QRadioButton(group);
    rbEnglish->setObjectName("rbEnglish");
    auto *choices = new QVBoxLayout(group);
    choices->addWidget(rbGerman, 0, Qt::AlignLeft);
    choices->addWidget(rbEnglish, 0, Qt::AlignLeft);

    BitBtn1 = new QPushButton(this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn1->setAutoDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    ui::applyControlTexts(this, app::germanTexts(app::Window::LanguageChooser));
    group->setAccessibleName(windowTitle());
    // Wide enough that a title bar (bold, with its icon and buttons) still
    // shows the caption.
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    group->setMinimumWidth(fm.horizontalAdvance(windowTitle()) + 8 * fm.height());
    rbGerman->setChecked(true);
}

std::string TFormLanguage::language() const { return rbGerman->isChecked() ? "Deutsch" : "English"; }

void TFormLanguage::reject()
{
    // No cancel: the first start needs a language.
}

void TFormLanguage::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect r = frameGeometry();
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
    rbGerman->isChecked() ? rbGerman->setFocus() : rbEnglish->setFocus();
}

std::string TFormLanguage::choose(QWidget *parent)
{
    TFormLanguage dlg(parent);
    dlg.exec();
    return dlg.language();
}
