#pragma once
// The debug report window and the about box.

#include "diag/DebugReport.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace app {
struct AppState;
}

class TfrmDebug : public QDialog {
public:
    explicit TfrmDebug(app::AppState &st, QWidget *parent = nullptr);

    QPlainTextEdit *Memo1 = nullptr;
    QFrame *Panel1 = nullptr;
    QPushButton *Button1 = nullptr; // "Save debugreport"

    // The report as shown; filled each time the window is shown.
    const diag::ReportLines &lines() const { return report_.lines; }
    void fillReport();
    void Button1Click();

    // Tests replace how the current directory is changed.
    std::function<bool(const std::string &)> setCurrentDir;

protected:
    void showEvent(QShowEvent *e) override;

private:
    app::AppState &st_;
    diag::DebugReport report_;
};

class TfrmAbout : public QDialog {
public:
    explicit TfrmAbout(app::AppState &st, QWidget *parent = nullptr);

    QLabel *Image1 = nullptr;
    QLabel *Label1 = nullptr;   // "Quorbix v2.0"
    QLabel *Label2 = nullptr;   // home page
    QFrame *Bevel1 = nullptr;
    QPushButton *OKButton = nullptr;

    static constexpr const char *kHomePage = "https://quorbix.example.org/";

protected:
    void showEvent(QShowEvent *e) override;
};

namespace diag {
// Create, show modally, destroy.
void ShowDebugReport(app::AppState &st, QWidget *parent);
void ShowAbout(app::AppState &st, QWidget *parent);
} // namespace diag
