#pragma once
// The settings dialog: PGP folder, key folders, extra PGP parameters,
// language, file types; the hotkeys' text source and the three hotkeys.

#include "app/SettingsRecords.h"
#include "settings/SettingsHooks.h"

#include <QDialog>
#include <QLineEdit>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace app {
struct AppState;
}
namespace platform {
class FileSystem;
}

// The hot-key entry field: one key with modifiers; a key without a modifier,
// or with Shift alone, is taken as Ctrl plus that key. Backspace or Delete
// alone empties it; Tab moves on as everywhere.
class THotKey : public QLineEdit {
public:
    THotKey(bool english, QWidget *parent);
    std::uint16_t value() const { return value_; }
    void setValue(std::uint16_t shortcut);

protected:
    void keyPressEvent(QKeyEvent *e) override;

private:
    bool english_;
    std::uint16_t value_ = 0;
};

class TForm7 : public QDialog {
public:
    TForm7(app::AppState &st, SettingsHooks hooks, QWidget *parent = nullptr);

    QTabWidget *PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr, *TabSheet2 = nullptr;
    QPushButton *BitBtn1 = nullptr, *BitBtn2 = nullptr;
    QLabel *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr, *Label5 = nullptr;
    QLineEdit *edPGPPath = nullptr, *edKsavePath = nullptr, *edKLoadPath = nullptr, *edConfTXT = nullptr;
    QPushButton *buPGPPath = nullptr, *buKSavePath = nullptr, *buKLoadPath = nullptr;
    QGroupBox *GroupBox2 = nullptr, *GroupBox1 = nullptr;
    QRadioButton *rbGerman = nullptr, *rbEnglish = nullptr;
    QPushButton *Button1 = nullptr, *Button2 = nullptr;
    QGroupBox *GroupBox6 = nullptr, *GroupBox7 = nullptr;
    QRadioButton *rbMIE = nullptr, *rbClip = nullptr;
    QCheckBox *cbCryptAll = nullptr, *cbFastUser = nullptr;
    QLabel *Label1 = nullptr, *Label6 = nullptr, *Label7 = nullptr;
    THotKey *hkEncrypt = nullptr, *hkDecrypt = nullptr, *hkSign = nullptr;

    void BitBtn1Click(); // "Ok"
    void BitBtn2Click(); // "&Hilfe"
    void Button1Click(); // register the file types
    void Button2Click(); // unregister them
    void chooseFolderFor(QLineEdit *field);

    // Whether a folder holds an executable pgp.
    static bool pgpFound(const platform::FileSystem &fs, const QString &dir);

private:
    void buildControls(bool english);
    void fillControls();

    app::AppState &st_;
    SettingsHooks hooks_;
};
