#pragma once
// The language chooser of the first start: "Deutsch" or "English", nothing
// else. It has no close box and no cancel, so it always yields a choice.

#include <QDialog>
#include <string>

class QPushButton;
class QRadioButton;

class TFormLanguage : public QDialog {
    Q_OBJECT

public:
    explicit TFormLanguage(QWidget *parent = nullptr);

    QRadioButton *rbGerman = nullptr;
    QRadioButton *rbEnglish = nullptr;
    QPushButton *BitBtn1 = nullptr; // "OK"

    // "Deutsch" when "Deutsch" is selected, "English" otherwise.
    std::string language() const;

    // Shows the chooser modally and returns the choice.
    static std::string choose(QWidget *parent = nullptr);

    // Escape and the window manager's close request leave it open.
    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;
};
