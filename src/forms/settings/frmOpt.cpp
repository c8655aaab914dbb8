#include "frmOpt.h"

#include "modules/mdlUser.h"
#include "platform/Controls.h"
#include "platform/Convert.h"
#include "platform/FittingLabel.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <array>
#include <cstddef>

using namespace mdlUser;

namespace {

constexpr float DesignClientWidth = 5010;
constexpr float DesignClientHeight = 2850;

constexpr std::array<double, 11> ViewTimePresets = {10, 7, 5, 3, 2, 1, 0.7, 0.5, 0.3, 0.2, 0.1};
constexpr std::array<qint16, 8> StringLenPresets = {3, 4, 5, 6, 7, 8, 9, 10};
constexpr std::array<double, 3> ViewAnsTimePresets = {1, 2, 3};
constexpr std::array<qint16, 6> KigouNumPresets = {55, 40, 30, 20, 10, 5};

QComboBox *createCombo(const char *name, QWidget *parent)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QLatin1StringView(name));
    combo->setEditable(true);
    // A drop-down combo: typed text stays in the edit field only, the list keeps its order,
    // and nothing completes what the player types ("1" must not become "10").
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr);
    return combo;
}

// Lists the presets, then selects the first one equal to the value (exact equality), or selects
// nothing and shows the value's own text.
template <typename T, std::size_t N>
void fillAndSelect(QComboBox *combo, const std::array<T, N> &presets, T value)
{
    for (T preset : presets)
        combo->addItem(Convert::toDecimalText(preset));
    const auto found = std::find(presets.begin(), presets.end(), value);
    if (found != presets.end()) {
        combo->setCurrentIndex(int(found - presets.begin()));
    } else {
        combo->setCurrentIndex(-1);
        combo->setEditText(Convert::toDecimalText(value));
    }
}

double readTime(const QComboBox *combo)
{
    // leadingNumber never yields NaN; text without a number reads as 0 and ends at the lower bound.
    return boundTime(Convert::leadingNumber(combo->currentText()), MinTime);
}

qint16 readInt16(const QComboBox *combo)
{
    return Convert::toInt16(Convert::leadingNumber(combo->currentText()));
}

// The message shown when the settings file could not be written.
QString saveFailedText(const QString &path, const QString &reason)
{
    const QString why = reason.isEmpty() ? QStringLiteral("不明なエラー") : reason;
    return QStringLiteral("設定をファイルに保存できませんでした。\n\n"
                          "ファイル: %1\n理由: %2\n\n"
                          "変更した設定はこのまま使われますが、次に起動したときには元に戻ります。")
        .arg(QDir::toNativeSeparators(path), why);
}

} // namespace

frmOpt::frmOpt(QWidget *parent, Controls::Pointer pointer)
    : QDialog(parent)
    , m_settingsFiles(settingsFiles())
    , m_area(Controls::dialogArea(parent, pointer))
{
    createControls();
    if (pointer == Controls::Pointer::Touch || !Controls::fitsIn(size(), m_area, parent))
        layOutForTouch();
    Form_Load();
}

void frmOpt::layOutForTouch()
{
    // One column of rows a finger can hit, the two buttons below them: narrow enough for a phone held upright,
    // low enough for one turned.
    constexpr int Margin = 8;
    constexpr int Target = Controls::TouchTarget;
    constexpr int Row = Target + 6;
    constexpr int LabelWidth = 170;
    constexpr int ComboLeft = Margin + LabelWidth + Margin;
    constexpr int ComboWidth = 110;
    constexpr int Width = ComboLeft + ComboWidth + Margin;
    constexpr int FrameCaption = 18;
    constexpr int FrameTop = Margin + 3 * Row;
    constexpr int FrameHeight = FrameCaption + Row;
    constexpr int ButtonTop = FrameTop + FrameHeight + Margin;
    constexpr int ButtonWidth = 140;
    setFixedSize(Width, ButtonTop + Target + Margin);

    const QList<std::pair<QLabel *, QComboBox *>> rows = {
        {Label1, cmbViewTime}, {Label2, cmbStringLen}, {Label4, cmbKigouNum}};
    for (int i = 0; i < rows.size(); ++i) {
        Controls::place(rows[i].first, QRect(Margin, Margin + i * Row, LabelWidth, Target));
        Controls::place(rows[i].second, QRect(ComboLeft, Margin + i * Row, ComboWidth, Target));
    }
    Controls::place(Frame1, QRect(Margin / 2, FrameTop, Width - Margin, FrameHeight));
    Controls::place(Label3, QRect(Margin / 2, FrameCaption, LabelWidth, Target));
    Controls::place(cmbViewAnsTime, QRect(ComboLeft - Margin / 2, FrameCaption, ComboWidth, Target));
    for (QLabel *label : {Label1, Label2, Label4, Label3})
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Controls::place(cmdOk, QRect(Margin, ButtonTop, ButtonWidth, Target));
    Controls::place(cmdCancel, QRect(Width - Margin - ButtonWidth, ButtonTop, ButtonWidth, Target));
}

void frmOpt::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Controls::keepInside(this, m_area);
}

void frmOpt::createControls()
{
    setObjectName(QStringLiteral("frmOpt"));
    setWindowTitle(QStringLiteral("設定"));
    Controls::makeFixedDialog(this, DesignClientWidth, DesignClientHeight);

    Label1 = Controls::createLabel("Label1", QStringLiteral("表示時間（0.1～10秒）"), this);
    Controls::place(Label1, 360, 360, 1695, 255);
    cmbViewTime = createCombo("cmbViewTime", this);
    Controls::place(cmbViewTime, 2280, 360, 855, 300);

    Label2 = Controls::createLabel("Label2", QStringLiteral("文字の長さ（１～20）"), this);
    Controls::place(Label2, 360, 840, 1695, 255);
    cmbStringLen = createCombo("cmbStringLen", this);
    Controls::place(cmbStringLen, 2280, 840, 855, 300);

    Label4 = Controls::createLabel("Label4", QStringLiteral("記号の種類（3～55）"), this);
    Controls::place(Label4, 360, 1320, 1695, 255);
    cmbKigouNum = createCombo("cmbKigouNum", this);
    Controls::place(cmbKigouNum, 2280, 1320, 855, 300);

    Frame1 = new QGroupBox(QStringLiteral("オプション"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Controls::place(Frame1, 240, 1800, 3015, 735);
    Label3 = Controls::createLabel("Label3", QStringLiteral("正誤の表示時間"), Frame1);
    Controls::place(Label3, 120, 360, 1695, 255);
    cmbViewAnsTime = createCombo("cmbViewAnsTime", Frame1);
    Controls::place(cmbViewAnsTime, 2040, 240, 855, 300);

    cmdOk = new QPushButton(QStringLiteral("変更"), this);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setDefault(true);
    Controls::place(cmdOk, 3720, 360, 1095, 375);

    cmdCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    Controls::place(cmdCancel, 3720, 960, 1095, 375);

    // The design's tab indices; labels and the frame take no focus.
    setTabOrder(cmbViewTime, cmbStringLen);
    setTabOrder(cmbStringLen, cmdOk);
    setTabOrder(cmdOk, cmdCancel);
    setTabOrder(cmdCancel, cmbViewAnsTime);
    setTabOrder(cmbViewAnsTime, cmbKigouNum);
    cmbViewTime->setFocus();

    connect(cmdOk, &QPushButton::clicked, this, &frmOpt::cmdOk_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmOpt::cmdCancel_Click);
}

void frmOpt::Form_Load()
{
    ViewTimeList();
    ViewStringLen();
    ViewAnsTimeList();
    ViewKigouNum();
}

void frmOpt::ViewTimeList()
{
    fillAndSelect(cmbViewTime, ViewTimePresets, Opt.ViewTime);
}

void frmOpt::ViewStringLen()
{
    fillAndSelect(cmbStringLen, StringLenPresets, Opt.StringLen);
}

void frmOpt::ViewAnsTimeList()
{
    fillAndSelect(cmbViewAnsTime, ViewAnsTimePresets, Opt.ViewAnsTime);
}

void frmOpt::ViewKigouNum()
{
    fillAndSelect(cmbKigouNum, KigouNumPresets, Opt.KigouNum);
}

void frmOpt::cmdOk_Click()
{
    Opt.ViewTime = readTime(cmbViewTime);
    Opt.StringLen = boundStringLen(readInt16(cmbStringLen));
    Opt.ViewAnsTime = readTime(cmbViewAnsTime);
    Opt.KigouNum = boundKigouNum(readInt16(cmbKigouNum));

    const SaveResult saved = SaveSettings(m_settingsFiles);
    accept();
    // Opt keeps the confirmed values for this run either way; a failed write is not passed off as success.
    if (!saved.ok)
        reportSaveFailure(saved.path, saved.error);
}

void frmOpt::cmdCancel_Click()
{
    reject();
}

void frmOpt::keyPressEvent(QKeyEvent *event)
{
    // キャンセル has no keyboard role, so Esc leaves the dialog open.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmOpt::reportSaveFailure(const QString &path, const QString &reason)
{
    // The dialog is closed by now; the message belongs to the window that opened it.
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("設定"), saveFailedText(path, reason),
                                QMessageBox::Ok, parentWidget());
    box->setObjectName(QStringLiteral("saveFailedMessage"));
    Controls::showModal(box);
}
