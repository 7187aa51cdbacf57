#include "ui/FontDialog.h"

#include <QColorDialog>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/Text.h"

namespace ui {

namespace {

struct NamedColor {
    QRgb rgb;
    const char *german, *english;
};

// The sixteen colours of the classic font dialog, in its order.
constexpr NamedColor kColors[] = {
    {0x000000, "Schwarz", "Black"},    {0x800000, "Dunkelrot", "Maroon"}, {0x008000, "Grün", "Green"},
    {0x808000, "Oliv", "Olive"},       {0x000080, "Marineblau", "Navy"},  {0x800080, "Violett", "Purple"},
    {0x008080, "Blaugrün", "Teal"},    {0x808080, "Grau", "Gray"},        {0xC0C0C0, "Silber", "Silver"},
    {0xFF0000, "Rot", "Red"},          {0x00FF00, "Hellgrün", "Lime"},    {0xFFFF00, "Gelb", "Yellow"},
    {0x0000FF, "Blau", "Blue"},        {0xFF00FF, "Fuchsie", "Fuchsia"},  {0x00FFFF, "Aquamarin", "Aqua"},
    {0xFFFFFF, "Weiß", "White"},
};

QIcon swatch(const QColor &c)
{
    QPixmap pm(24, 12);
    pm.fill(c);
    QPainter p(&pm);
    p.setPen(Qt::black);
    p.drawRect(pm.rect().adjusted(0, 0, -1, -1));
    return QIcon(pm);
}

} // namespace

FontDialog::FontDialog(const QFont &font, const QColor &color, bool english, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      english_(english)
{
    setObjectName("FontDialog1");
    setWindowTitle(QFontDialog::tr("Select Font"));
    auto *column = new QVBoxLayout(this);

    // Qt's chooser as a part of this window, without its own buttons.
    FontChooser = new QFontDialog(this);
    FontChooser->setObjectName("FontChooser");
    FontChooser->setWindowFlags(Qt::Widget);
    FontChooser->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    FontChooser->setCurrentFont(font);
    FontChooser->setSizeGripEnabled(false);
    if (FontChooser->layout())
        FontChooser->layout()->setContentsMargins(0, 0, 0, 0);
    setSizeGripEnabled(true);
    column->addWidget(FontChooser);
    nameChooserFields();

    auto *row = new QHBoxLayout;
    lbColor = new QLabel(english ? "&Color:" : "&Farbe:", this);
    lbColor->setObjectName("lbColor");
    cbColor = new QComboBox(this);
    cbColor->setObjectName("cbColor");
    cbColor->setAccessibleName(english ? "Color" : "Farbe");
    lbColor->setBuddy(cbColor);
    for (const NamedColor &c : kColors)
        cbColor->addItem(swatch(QColor(c.rgb)), QString::fromUtf8(english ? c.english : c.german), QColor(c.rgb));
    // A button, not a list entry: walking the list with the arrow keys must
    // not open a dialog.
    buColor = new QPushButton(english ? "&Other..." : "&Andere...", this);
    buColor->setObjectName("buColor");
    buColor->setAutoDefault(false);
    row->addWidget(lbColor);
    row->addWidget(cbColor, 1);
    row->addWidget(buColor);
    row->addStretch(2);
    column->addLayout(row);

    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    Buttons->setObjectName("Buttons");
    // Enter confirms from any field, as in the classic dialog.
    Buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    column->addWidget(Buttons);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    setSelectedColor(color.isValid() ? color : QColor(Qt::black));
    connect(buColor, &QPushButton::clicked, this, [this] { chooseOtherColor(); });
    connect(cbColor, &QComboBox::currentIndexChanged, this, [this] { showSampleColor(); });
    connect(FontChooser, &QFontDialog::currentFontChanged, this, [this] { showSampleColor(); });
    showSampleColor();
}

void FontDialog::nameChooserFields()
{
    // Qt's chooser labels either the line or the list of each column (family,
    // style, size); both take the label's name, so a screen reader can tell
    // the three apart.
    auto *grid = qobject_cast<QGridLayout *>(FontChooser->layout());
    auto columnOf = [grid](QWidget *w) {
        int row = -1, col = -1, rs = 0, cs = 0;
        const int i = grid ? grid->indexOf(w) : -1;
        if (i >= 0)
            grid->getItemPosition(i, &row, &col, &rs, &cs);
        return col;
    };
    for (QLabel *label : FontChooser->findChildren<QLabel *>()) {
        const int col = label->buddy() ? columnOf(label->buddy()) : -1;
        if (col < 0)
            continue;
        const QString name = withoutAccessKey(label->text());
        for (QWidget *w : FontChooser->findChildren<QWidget *>())
            if ((qobject_cast<QLineEdit *>(w) || qobject_cast<QAbstractItemView *>(w)) && columnOf(w) == col)
                w->setAccessibleName(name);
    }
}

QFont FontDialog::selectedFont() const { return FontChooser->currentFont(); }

QColor FontDialog::selectedColor() const { return cbColor->currentData().value<QColor>(); }

void FontDialog::setSelectedColor(const QColor &color)
{
    const QColor c = color.toRgb();
    for (int i = 0; i < cbColor->count(); ++i)
        if (cbColor->itemData(i).value<QColor>() == c) {
            cbColor->setCurrentIndex(i);
            return;
        }
    // A colour of its own, named by its value, after the standard ones.
    cbColor->addItem(swatch(c), c.name(QColor::HexRgb).toUpper(), c);
    cbColor->setCurrentIndex(cbColor->count() - 1);
}

void FontDialog::chooseOtherColor()
{
    const QColor c = QColorDialog::getColor(selectedColor(), this, QString(), QColorDialog::DontUseNativeDialog);
    if (c.isValid())
        setSelectedColor(c);
}

void FontDialog::showSampleColor()
{
    const QColor c = selectedColor();
    if (!c.isValid())
        return;
    // The chooser's sample line is the one line edit inside a group box.
    for (QGroupBox *g : FontChooser->findChildren<QGroupBox *>())
        for (QLineEdit *sample : g->findChildren<QLineEdit *>()) {
            QPalette pal = sample->palette();
            pal.setColor(QPalette::Text, c);
            sample->setPalette(pal);
        }
}

bool FontDialog::getFont(QFont &font, QColor &color, bool english, QWidget *parent)
{
    FontDialog dlg(font, color, english, parent);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    font = dlg.selectedFont();
    color = dlg.selectedColor();
    return true;
}

} // namespace ui
