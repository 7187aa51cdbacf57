#pragma once
// The pass phrase dialog: created once at start-up and kept, so its masked
// field keeps what was typed from one showing to the next.

#include <QDialog>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace app {
struct AppState;

// What RunPgp puts at the head of its tail: -z "PassPhrase" once the user has
// touched the pass phrase, nothing before.
std::string passPhraseArgument(const AppState &st);
} // namespace app

class TfrmMantra : public QDialog {
    Q_OBJECT
public:
    TfrmMantra(app::AppState &st, QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QPushButton *Button1 = nullptr; // OK
    QPushButton *Button2 = nullptr; // Cancel
    QPushButton *Button3 = nullptr; // Help

    void Button1Click();
    void Button3Click();

protected:
    void showEvent(QShowEvent *e) override;

private:
    app::AppState &st_;
};
