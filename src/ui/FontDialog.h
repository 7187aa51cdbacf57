#pragma once
// The font dialog: Qt's font chooser (family, style, size, strike-out and
// underline) with the colour list the classic font dialog has below it.

#include <QColor>
#include <QDialog>
#include <QFont>

class QComboBox;
class QDialogButtonBox;
class QFontDialog;
class QLabel;
class QPushButton;

namespace ui {

class FontDialog : public QDialog {
    Q_OBJECT
public:
    FontDialog(const QFont &font, const QColor &color, bool english, QWidget *parent = nullptr);

    QFont selectedFont() const;
    QColor selectedColor() const;
    // Picks a colour in the list, adding it as an entry of its own when it is
    // none of the standard ones.
    void setSelectedColor(const QColor &color);

    // Modal; on OK font and color hold the choice.
    static bool getFont(QFont &font, QColor &color, bool english, QWidget *parent);

    QFontDialog *FontChooser = nullptr;
    QLabel *lbColor = nullptr;
    QComboBox *cbColor = nullptr;
    QPushButton *buColor = nullptr; // any other colour, through the colour dialog
    QDialogButtonBox *Buttons = nullptr;

private:
    void nameChooserFields();
    void chooseOtherColor();
    void showSampleColor();
    bool english_;
};

} // namespace ui
