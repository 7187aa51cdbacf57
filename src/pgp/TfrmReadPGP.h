#pragma once
// The output viewer: PGP's captured text (AppDir/out.txt) as it stood when
// the viewer was made. A typed character closes (hides) it; arrow and
// function keys scroll and do nothing else.

#include <QWidget>

class QPlainTextEdit;

namespace app {
struct AppState;
}

class TfrmReadPGP : public QWidget {
    Q_OBJECT
public:
    explicit TfrmReadPGP(app::AppState &st, QWidget *parent = nullptr);

    QPlainTextEdit *Memo1 = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void showEvent(QShowEvent *e) override;

private:
    // True when the key typed a character.
    bool FormKeyPress(QKeyEvent *e);
    app::AppState &st_;
};
