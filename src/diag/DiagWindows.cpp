#include "diag/DiagWindows.h"

#include "app/AppState.h"
#include "app/Pictures.h"
#include "app/TextCatalog.h"
#include "crypt/EditorFiles.h"

#include <QDir>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TfrmDebug::TfrmDebug(app::AppState &st, QWidget *parent)
    : QDialog(parent), setCurrentDir([](const std::string &dir) {
          return QDir::setCurrent(QFile::decodeName(QByteArray::fromStdString(dir)));
      }),
      st_(st)
{
    setObjectName("frmDebug");
    setWindowTitle("Debug");
    setAccessibleName("Debug");
    resize(436, 326);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setAccessibleName("Debug");
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(Memo1, 1);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFixedHeight(41);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);
    auto *pl = new QHBoxLayout(Panel1);
    pl->setContentsMargins(4, 4, 4, 4);
    Button1 = new QPushButton("Save debugreport", Panel1);
    Button1->setObjectName("Button1");
    Button1->setAccessibleName("Save debugreport");
    Button1->setAutoDefault(false);
    Button1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    pl->addWidget(Button1);
    layout->addWidget(Panel1);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void TfrmDebug::fillReport()
{
    diag::ReportInputs in{st_.appDir, st_.pgpDir, st_.tempDir, st_.sys.fs, setCurrentDir, st_.dataFolder(),
                          st_.userFolder()};
    report_ = diag::fillDebugReport(in);
    QStringList shown;
    for (const auto &l : report_.lines)
        shown << cryptcmd::displayPath(l);
    Memo1->setPlainText(shown.join('\n'));
    if (!report_.error.empty())
        st_.dialogs->platformError(report_.error);
}

void TfrmDebug::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        fillReport();
}

void TfrmDebug::Button1Click()
{
    // Kept with the button files: the working folder may vanish at log-out.
    const std::string path = st_.inUserDir("Debug.log");
    try {
        st_.sys.fs->writePrivateFile(path, diag::debugLogBytes(report_.lines));
    } catch (const platform::PlatformError &e) {
        st_.dialogs->platformError(cryptcmd::createErrorText(path, e.sysError()));
        return;
    }
    st_.dialogs->plainMessage(std::string(app::fixed::DebugSaved) + cryptcmd::displayPath(path).toStdString());
}

TfrmAbout::TfrmAbout(app::AppState &st, QWidget *parent) : QDialog(parent)
{
    setObjectName("frmAbout");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    const QString caption = st.english() ? QStringLiteral("About Quorbix") : QStringLiteral("Info über Quorbix");
    setWindowTitle(caption);
    setAccessibleName(caption);
    setFixedSize(340, 206);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setAccessibleName("Quorbix");
    Image1->setGeometry(16, 16, 32, 32);

    Label1 = new QLabel("Quorbix v2.0", this);
    Label1->setObjectName("Label1");
    Label1->setAccessibleName("Quorbix v2.0");
    QFont f("MS Sans Serif");
    f.setPixelSize(13);
    f.setBold(true);
    Label1->setFont(f);
    QPalette pal = Label1->palette();
    pal.setColor(QPalette::WindowText, Qt::blue);
    Label1->setPalette(pal);
    Label1->setGeometry(64, 16, 260, 32);

    Label2 = new QLabel(kHomePage, this);
    Label2->setObjectName("Label2");
    Label2->setAccessibleName(kHomePage);
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label2->setGeometry(16, 120, 308, 20);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(16, 144, 308, 4);

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setAccessibleName("OK");
    OKButton->setDefault(true);
    OKButton->setGeometry(249, 166, 75, 25);
    // Esc is QDialog's reject; OK accepts on Enter as the default button.
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmAbout::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    Image1->setPixmap(app::pictures::appIcon().pixmap(32, 32));
    if (!e->spontaneous()) {
        if (QScreen *s = screen())
            move(s->availableGeometry().center() - rect().center());
    }
}

namespace diag {

void ShowDebugReport(app::AppState &st, QWidget *parent)
{
    TfrmDebug dlg(st, parent);
    dlg.exec();
}

void ShowAbout(app::AppState &st, QWidget *parent)
{
    TfrmAbout dlg(st, parent);
    dlg.exec();
}

} // namespace diag
