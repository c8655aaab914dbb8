#include "frmOpt.h"

#include "modules/mdlUser.h"
#include "platform/Controls.h"
#include "platform/Convert.h"
#include "platform/FittingLabel.h"
#include "platform/Twips.h"

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
#if QT_CONFIG(completer)
    combo->setCompleter(nullptr);
#endif
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

// Where the controls go, in the order of frmOpt::layOut: the three rows, the frame with its row, the two buttons.
struct Layout
{
    QSize client;
    std::array<QRect, 11> places;
    Qt::Alignment labels;
};

Layout designLayout()
{
    constexpr std::array<TwipsRect, 11> design = {{{360, 360, 1695, 255}, {2280, 360, 855, 300},
                                                   {360, 840, 1695, 255}, {2280, 840, 855, 300},
                                                   {360, 1320, 1695, 255}, {2280, 1320, 855, 300},
                                                   {240, 1800, 3015, 735}, {120, 360, 1695, 255}, {2040, 240, 855, 300},
                                                   {3720, 360, 1095, 375}, {3720, 960, 1095, 375}}};
    Layout layout{TwipsRect{0, 0, 5010, 2850}.toPixels().size(), {}, Qt::AlignLeft | Qt::AlignTop};
    std::transform(design.begin(), design.end(), layout.places.begin(),
                   [](const TwipsRect &twips) { return twips.toPixels(); });
    return layout;
}

// One column of rows a finger can hit, the two buttons below them: narrow enough for a phone held upright, low
// enough for one turned.
Layout compactLayout()
{
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
    Layout layout{{Width, ButtonTop + Target + Margin}, {}, Qt::AlignLeft | Qt::AlignVCenter};
    for (int row = 0; row < 3; ++row) {
        layout.places[2 * row] = QRect(Margin, Margin + row * Row, LabelWidth, Target);
        layout.places[2 * row + 1] = QRect(ComboLeft, Margin + row * Row, ComboWidth, Target);
    }
    layout.places[6] = QRect(Margin / 2, FrameTop, Width - Margin, FrameHeight);
    layout.places[7] = QRect(Margin / 2, FrameCaption, LabelWidth, Target);
    layout.places[8] = QRect(ComboLeft - Margin / 2, FrameCaption, ComboWidth, Target);
    layout.places[9] = QRect(Margin, ButtonTop, ButtonWidth, Target);
    layout.places[10] = QRect(Width - Margin - ButtonWidth, ButtonTop, ButtonWidth, Target);
    return layout;
}

Layout layoutFor(const QRect &area, const QMargins &frame, Controls::Pointer pointer)
{
    const Layout design = designLayout();
    return Controls::takesDesign(design.client, area, frame, pointer) ? design : compactLayout();
}

} // namespace

frmOpt::frmOpt(QWidget *parent, Controls::Pointer pointer)
    : QDialog(parent)
    , m_settingsFiles(settingsFiles())
    , m_area(Controls::dialogArea(parent, pointer))
{
    createControls();
    layOut(pointer);
    Form_Load();
}

void frmOpt::layOut(Controls::Pointer pointer)
{
    const Layout layout = layoutFor(m_area, Controls::frameAround(this), pointer);
    Controls::makeFixedDialog(this, layout.client);
    const std::array<QWidget *, 11> placed = {Label1, cmbViewTime, Label2, cmbStringLen, Label4, cmbKigouNum,
                                              Frame1, Label3, cmbViewAnsTime, cmdOk, cmdCancel};
    for (std::size_t i = 0; i < placed.size(); ++i)
        placed[i]->setGeometry(layout.places[i]);
    for (QLabel *label : {Label1, Label2, Label4, Label3})
        label->setAlignment(layout.labels);
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

    Label1 = Controls::createLabel("Label1", QStringLiteral("表示時間（0.1～10秒）"), this);
    cmbViewTime = createCombo("cmbViewTime", this);

    Label2 = Controls::createLabel("Label2", QStringLiteral("文字の長さ（１～20）"), this);
    cmbStringLen = createCombo("cmbStringLen", this);

    Label4 = Controls::createLabel("Label4", QStringLiteral("記号の種類（3～55）"), this);
    cmbKigouNum = createCombo("cmbKigouNum", this);

    Frame1 = new QGroupBox(QStringLiteral("オプション"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Label3 = Controls::createLabel("Label3", QStringLiteral("正誤の表示時間"), Frame1);
    cmbViewAnsTime = createCombo("cmbViewAnsTime", Frame1);

    cmdOk = new QPushButton(QStringLiteral("変更"), this);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setDefault(true);

    cmdCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

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
