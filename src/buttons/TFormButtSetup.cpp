#include "buttons/TFormButtSetup.h"

#include "app/AppState.h"
#include "app/FileDialogs.h"
#include "app/TextCatalog.h"
#include "buttons/ButtonRecord.h"
#include "ui/ApplyTexts.h"
#include "ui/ContextHelp.h"
#include "ui/Text.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace {

QString latin1(const std::string &s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

bool fitsLatin1(const QString &s)
{
    for (QChar c : s)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

// The record keeps Latin-1 text of a fixed capacity.
std::string cut(const QString &s, qsizetype n) { return s.left(n).toLatin1().toStdString(); }

} // namespace

TFormButtSetup::TFormButtSetup(app::AppState &st, app::FileDialog &openDialog, std::function<void()> relabelButtons,
                               QWidget *mainWindow)
    : QDialog(mainWindow), st_(st), openDialog_(openDialog), relabelButtons_(std::move(relabelButtons))
{
    setObjectName("FormButtSetup");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint);
    setFixedSize(kWidth, kHeight);

    auto group = [&](QGroupBox *&member, const char *name, const QRect &r) {
        member = new QGroupBox(this);
        member->setObjectName(name);
        member->setGeometry(r);
    };
    group(GroupBox1, "GroupBox1", QRect(6, 6, 241, 100));
    group(GroupBox2, "GroupBox2", QRect(252, 6, 135, 100));
    group(GroupBox3, "GroupBox3", QRect(6, 114, 220, 106));
    group(GroupBox4, "GroupBox4", QRect(231, 114, 156, 106));

    auto edit = [&](QLabel *&label, const char *labelName, QLineEdit *&member, const char *name, int y, int max) {
        label = new QLabel(GroupBox1);
        label->setObjectName(labelName);
        label->setGeometry(8, y + 2, 70, 17);
        member = new QLineEdit(GroupBox1);
        member->setObjectName(name);
        member->setGeometry(80, y, 153, 21);
        member->setMaxLength(max);
        label->setBuddy(member);
    };
    edit(Label1, "Label1", edTitel, "edTitel", 20, 30);
    edit(Label2, "Label2", edToolTip, "edToolTip", 46, 60);
    edit(Label3, "Label3", edCMD, "edCMD", 72, 40);

    auto check = [&](QCheckBox *&member, const char *name, QWidget *parent, int y, int w) {
        member = new QCheckBox(parent);
        member->setObjectName(name);
        member->setGeometry(8, y, w, 20);
    };
    check(cbOpen, "cbOpen", GroupBox2, 22, 122);
    check(cbSave, "cbSave", GroupBox2, 46, 122);
    check(cbUser, "cbUser", GroupBox2, 70, 122);

    auto radio = [&](QRadioButton *&member, const char *name, int y) {
        member = new QRadioButton(GroupBox3);
        member->setObjectName(name);
        member->setGeometry(8, y, 204, 20);
        member->installEventFilter(this);
    };
    radio(rbDOS, "rbDOS", 18);
    radio(rbQuorbix, "rbQuorbix", 38);
    radio(rbDivert, "rbDivert", 58);
    rbDOS->setChecked(true);
    edFName = new QLineEdit(GroupBox3);
    edFName->setObjectName("edFName");
    edFName->setGeometry(8, 80, 178, 21);
    edFName->setMaxLength(255);
    edFName->setAccessibleName("Output file");
    sbFileReq = new QToolButton(GroupBox3);
    sbFileReq->setObjectName("sbFileReq");
    sbFileReq->setGeometry(190, 80, 22, 21);
    sbFileReq->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    sbFileReq->setAccessibleName("Choose output file");
    sbFileReq->setToolTip("Output.txt");

    check(cbCloseAtEnd, "cbCloseAtEnd", GroupBox4, 16, 144);
    check(cbShowDos, "cbShowDos", GroupBox4, 38, 144);
    check(cbUpdateUserList, "cbUpdateUserList", GroupBox4, 60, 144);
    check(cbFromRTF, "cbFromRTF", GroupBox4, 82, 144);
    cbCloseAtEnd->setChecked(true);
    cbFromRTF->setEnabled(false);

    auto button = [&](QPushButton *&member, const char *name, int x) {
        member = new QPushButton(this);
        member->setObjectName(name);
        member->setGeometry(x, 228, 75, 25);
    };
    button(BitBtn1, "BitBtn1", 150);
    button(BitBtn2, "BitBtn2", 230);
    button(BitBtn3, "BitBtn3", 310);
    BitBtn1->setDefault(true);
    BitBtn3->setAutoDefault(false);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtn3, &QPushButton::clicked, this, [this] { BitBtn3Click(); });
    connect(sbFileReq, &QToolButton::clicked, this, [this] { sbFileReqClick(); });

    new ui::ContextHelp(this, st.sys.help, [&st] { return st.helpFile; },
                        app::helpContexts(app::Window::ButtonSetup));
    for (QWidget *w : findChildren<QWidget *>())
        if (!w->objectName().isEmpty())
            baseGeometry_.emplace_back(w, w->geometry());
    applyTexts();
}

double TFormButtSetup::widthScale() const
{
    // The layout is measured for a narrow dialog font; wider fonts (and the
    // other language's texts) get the whole dialog widened by one factor, so
    // no caption is cut and the columns keep their proportions.
    double s = 1.0;
    for (const auto &[w, r] : baseGeometry_) {
        if (!qobject_cast<QAbstractButton *>(w) && !qobject_cast<QLabel *>(w))
            continue;
        if (qobject_cast<QToolButton *>(w) || r.width() <= 0)
            continue;
        s = std::max(s, double(w->sizeHint().width()) / r.width());
    }
    return s;
}

void TFormButtSetup::relayout()
{
    const double s = widthScale();
    auto sx = [s](int v) { return int(std::lround(v * s)); };
    for (const auto &[w, r] : baseGeometry_) {
        // The picture button keeps its size at the end of the widened path
        // field's line.
        if (w == sbFileReq)
            w->setGeometry(sx(r.x() + r.width()) - r.width(), r.y(), r.width(), r.height());
        else
            w->setGeometry(sx(r.x()), r.y(), sx(r.x() + r.width()) - sx(r.x()), r.height());
    }
    const int gap = sbFileReq->x() - (edFName->x() + edFName->width());
    if (gap > 4)
        edFName->resize(edFName->width() + gap - 4, edFName->height());
    setFixedSize(sx(kWidth), kHeight);
}

void TFormButtSetup::applyTexts()
{
    ui::applyControlTexts(this, app::germanTexts(app::Window::ButtonSetup));
    if (st_.english())
        ui::applyControlTexts(this, app::englishTexts(app::Window::ButtonSetup));
    edTitel->setAccessibleName(ui::withoutAccessKey(Label1->text()));
    edToolTip->setAccessibleName(ui::withoutAccessKey(Label2->text()));
    edCMD->setAccessibleName(ui::withoutAccessKey(Label3->text()));
    relayout();
}

void TFormButtSetup::fill(int n)
{
    const buttons::ButtonRecord &r = st_.buttons.at(std::size_t(n - 1));
    edTitel->setText(latin1(r.title));
    edTitel->setProperty("Tag", n);
    edToolTip->setText(latin1(r.hint));
    edCMD->setText(latin1(r.command));
    // A long hint shows from its start, as it is read.
    for (QLineEdit *e : {edTitel, edToolTip, edCMD})
        e->setCursorPosition(0);
    cbOpen->setChecked(r.openDialog);
    cbSave->setChecked(r.saveDialog);
    cbUser->setChecked(r.recipient);
    // Radio buttons of one group: clearing needs exclusivity off for a
    // moment, so a record with no flag (or several) shows as it is stored.
    for (QRadioButton *b : {rbDOS, rbQuorbix, rbDivert})
        b->setAutoExclusive(false);
    rbDOS->setChecked(r.outConsole);
    rbQuorbix->setChecked(r.outProgram);
    rbDivert->setChecked(r.outFile);
    for (QRadioButton *b : {rbDOS, rbQuorbix, rbDivert})
        b->setAutoExclusive(true);
    cbCloseAtEnd->setChecked(r.closeOnExit);
    cbUpdateUserList->setChecked(r.refreshUserList);
    cbShowDos->setChecked(r.windowMode == 5);
    edFName->setText(latin1(r.outputFile));
    edFName->setCursorPosition(0);
}

int TFormButtSetup::showFor(int n)
{
    fill(n);
    return exec();
}

void TFormButtSetup::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (QScreen *s = screen() ? screen() : QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    FormShow();
}

void TFormButtSetup::FormShow()
{
    if (rbDOS->isChecked())
        applyOutputRow(Output::Console);
    else if (rbQuorbix->isChecked())
        applyOutputRow(Output::Program);
    else if (rbDivert->isChecked())
        applyOutputRow(Output::File);
}

void TFormButtSetup::rbDOSEnter() { applyOutputRow(Output::Console); }
void TFormButtSetup::rbQuorbixEnter() { applyOutputRow(Output::Program); }
void TFormButtSetup::rbDivertEnter() { applyOutputRow(Output::File); }

void TFormButtSetup::applyOutputRow(Output o)
{
    const bool file = o == Output::File;
    edFName->setEnabled(file);
    QPalette pal = edFName->palette();
    const QPalette base = palette();
    const QColor c = file ? base.color(QPalette::Active, QPalette::Base) : base.color(QPalette::Active, QPalette::Button);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        pal.setColor(group, QPalette::Base, c);
    edFName->setPalette(pal);
    sbFileReq->setEnabled(file);
    if (o == Output::Console) {
        cbShowDos->setChecked(true);
        cbShowDos->setEnabled(false);
    } else {
        cbShowDos->setEnabled(true);
    }
    cbCloseAtEnd->setEnabled(o == Output::Console);
}

bool TFormButtSetup::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::FocusIn) {
        if (watched == rbDOS)
            rbDOSEnter();
        else if (watched == rbQuorbix)
            rbQuorbixEnter();
        else if (watched == rbDivert)
            rbDivertEnter();
    }
    return QDialog::eventFilter(watched, e);
}

void TFormButtSetup::sbFileReqClick()
{
    app::FileDialog &dlg = openDialog_;
    dlg.fileName = QStringLiteral("Output.txt");
    if (dlg.execute(this))
        edFName->setText(dlg.fileName);
    dlg.fileName.clear();
}

void TFormButtSetup::BitBtn1Click()
{
    app::AppState &st = st_;
    // The record holds Latin-1: a character outside it would be stored as
    // "?" and the command or file name would silently change.
    for (QLineEdit *e : {edTitel, edToolTip, edCMD, edFName})
        if (!fitsLatin1(e->text())) {
            if (st.dialogs)
                st.dialogs->errorBox(st.english() ? "This text holds characters outside Latin-1: "
                                                        + e->text().toStdString()
                                                  : "Dieser Text enthält Zeichen außerhalb von Latin-1: "
                                                        + e->text().toStdString());
            e->setFocus();
            return;
        }
    const int n = edTitel->property("Tag").toInt();
    if (n < 1 || n > buttons::kButtonCount) {
        reject();
        return;
    }
    buttons::ButtonRecord &r = st.buttons[std::size_t(n - 1)];
    r.title = cut(edTitel->text(), 30);
    r.hint = cut(edToolTip->text(), 60);
    r.command = cut(edCMD->text(), 40);
    r.openDialog = cbOpen->isChecked();
    r.saveDialog = cbSave->isChecked();
    r.recipient = cbUser->isChecked();
    r.outProgram = rbQuorbix->isChecked();
    r.outConsole = rbDOS->isChecked();
    r.outFile = rbDivert->isChecked();
    r.closeOnExit = cbCloseAtEnd->isChecked();
    r.refreshUserList = cbUpdateUserList->isChecked();
    r.windowMode = cbShowDos->isChecked() ? 5 : 0;
    r.outputFile = rbDivert->isChecked() ? cut(edFName->text(), 255) : std::string();
    relabelButtons_();
    st.buttonsChanged = true;
    accept();
}

void TFormButtSetup::BitBtn3Click()
{
    app::AppState &st = st_;
    if (st.sys.help)
        st.sys.help->showContext(st.helpFile, app::helpctx::ButtonSetupHelp);
}
