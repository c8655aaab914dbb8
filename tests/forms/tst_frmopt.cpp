// Checks the settings dialog through its real widgets: filling, bounding, saving and cancelling.
#include "forms/settings/frmOpt.h"
#include "modules/mdlUser.h"
#include "platform/FittingLabel.h"
#include "platform/Twips.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <bit>
#include <functional>
#include <optional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using mdlUser::Opt;

namespace {

const char *const ComboNames[] = {"cmbViewTime", "cmbStringLen", "cmbViewAnsTime", "cmbKigouNum"};

// The file's 20 bytes, encoded here independently of mdlUser.
QByteArray recordBytes(const OptData &opt)
{
    QByteArray out;
    auto put = [&out](auto value) {
        const auto little = qToLittleEndian(value);
        out.append(reinterpret_cast<const char *>(&little), qsizetype(sizeof little));
    };
    put(std::bit_cast<quint64>(opt.ViewTime));
    put(quint16(opt.StringLen));
    put(std::bit_cast<quint64>(opt.ViewAnsTime));
    put(quint16(opt.KigouNum));
    return out;
}

QString describe(const OptData &opt)
{
    return QStringLiteral("{%1, %2, %3, %4}")
        .arg(QString::number(opt.ViewTime, 'g', 17))
        .arg(opt.StringLen)
        .arg(QString::number(opt.ViewAnsTime, 'g', 17))
        .arg(opt.KigouNum);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

OptData with(OptData opt, const QString &field, double value)
{
    if (field == u"ViewTime")
        opt.ViewTime = value;
    else if (field == u"StringLen")
        opt.StringLen = qint16(value);
    else if (field == u"ViewAnsTime")
        opt.ViewAnsTime = value;
    else if (field == u"KigouNum")
        opt.KigouNum = qint16(value);
    return opt;
}

// Watches for a message box while the dialog runs; records and closes it.
class MessageBoxCatcher
{
public:
    explicit MessageBoxCatcher(std::function<void()> onSeen = {})
        : m_onSeen(std::move(onSeen))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }

    bool seen() const { return m_seen; }
    QString text() const { return m_text; }
    QString title() const { return m_title; }
    QString objectName() const { return m_objectName; }
    QMessageBox::Icon icon() const { return m_icon; }
    QWidget *parent() const { return m_parent; }

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        m_timer.stop();
        if (m_onSeen)
            m_onSeen();
        m_seen = true;
        m_text = box->text();
        m_title = box->windowTitle();
        m_objectName = box->objectName();
        m_icon = box->icon();
        m_parent = box->parentWidget();
        box->button(QMessageBox::Ok)->click();
    }

    std::function<void()> m_onSeen;
    QTimer m_timer;
    bool m_seen = false;
    QString m_text;
    QString m_title;
    QString m_objectName;
    QMessageBox::Icon m_icon = QMessageBox::NoIcon;
    QPointer<QWidget> m_parent;
};

#ifdef Q_OS_UNIX
// A real "disk full" for every process, root included: files may not grow past the limit.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool active() const { return m_active; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};
#endif

} // namespace

class tst_frmOpt : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void window();
    void controlsAtDesignPositions_data();
    void controlsAtDesignPositions();
    void captionsAreWhole();
    void combosAreDropDownCombos();
    void listsHoldPresetsInOrder_data();
    void listsHoldPresetsInOrder();
    void reopeningShowsEachListOnce();
    void opensWithCurrentValues_data();
    void opensWithCurrentValues();
    void focusAndTabOrder();
    void buttonRoles();
    void savesToTheSettingsFileByDefault();

    void confirmBoundsAndStores_data();
    void confirmBoundsAndStores();
    void confirmWritesTwentyBytes_data();
    void confirmWritesTwentyBytes();
    void confirmKeepsBytesAfterTheRecord();
    void storedValueShownNextTime_data();
    void storedValueShownNextTime();
    void enterConfirms_data();
    void enterConfirms();
    void typedTextIsNotCompleted();
    void leavesWithoutChanges_data();
    void leavesWithoutChanges();

    void failedSaveIsReported_data();
    void failedSaveIsReported();
    void failedSaveKeepsTheOldFile();
    void failedSaveMessageText();

private:
    QString settingsPath() const { return m_dir->filePath(QStringLiteral("qelo.ini")); }
    static QComboBox *combo(const frmOpt &dialog, const char *name)
    {
        return dialog.findChild<QComboBox *>(QLatin1StringView(name));
    }
    static QPushButton *button(const frmOpt &dialog, const char *name)
    {
        return dialog.findChild<QPushButton *>(QLatin1StringView(name));
    }
    // Types the text into the combo box's edit field as a player would: ASCII by keys,
    // Japanese and full-width characters as an input method commits them.
    static void type(QComboBox *box, const QString &text)
    {
        QLineEdit *edit = box->lineEdit();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        for (const QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(edit, char(c.unicode()));
            } else {
                QInputMethodEvent commit;
                commit.setCommitString(QString(c));
                QApplication::sendEvent(edit, &commit);
            }
        }
    }

    std::optional<QTemporaryDir> m_dir;
};

void tst_frmOpt::init()
{
    Opt = OptData{};
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
}

void tst_frmOpt::cleanup()
{
    m_dir.reset();
    Opt = OptData{};
}

void tst_frmOpt::window()
{
    frmOpt dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("frmOpt"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("設定"));
    const QSize client(Twips::toPixels(5010), Twips::toPixels(2850));
    QCOMPARE(dialog.minimumSize(), client);
    QCOMPARE(dialog.maximumSize(), client);
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowTitleHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));

    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.size(), client);

    // No font is set anywhere: every control uses the toolkit's default font.
    QVERIFY(!dialog.testAttribute(Qt::WA_SetFont));
    for (const QWidget *child : dialog.findChildren<QWidget *>())
        QVERIFY2(!child->testAttribute(Qt::WA_SetFont), qPrintable(child->objectName()));
}

void tst_frmOpt::controlsAtDesignPositions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parentName");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("twips");

    QTest::newRow("Label1") << "Label1" << "frmOpt" << "表示時間（0.1～10秒）" << QRect(360, 360, 1695, 255);
    QTest::newRow("cmbViewTime") << "cmbViewTime" << "frmOpt" << "" << QRect(2280, 360, 855, 300);
    QTest::newRow("Label2") << "Label2" << "frmOpt" << "文字の長さ（１～20）" << QRect(360, 840, 1695, 255);
    QTest::newRow("cmbStringLen") << "cmbStringLen" << "frmOpt" << "" << QRect(2280, 840, 855, 300);
    QTest::newRow("Label4") << "Label4" << "frmOpt" << "記号の種類（3～55）" << QRect(360, 1320, 1695, 255);
    QTest::newRow("cmbKigouNum") << "cmbKigouNum" << "frmOpt" << "" << QRect(2280, 1320, 855, 300);
    QTest::newRow("Frame1") << "Frame1" << "frmOpt" << "オプション" << QRect(240, 1800, 3015, 735);
    QTest::newRow("Label3") << "Label3" << "Frame1" << "正誤の表示時間" << QRect(120, 360, 1695, 255);
    QTest::newRow("cmbViewAnsTime") << "cmbViewAnsTime" << "Frame1" << "" << QRect(2040, 240, 855, 300);
    QTest::newRow("cmdOk") << "cmdOk" << "frmOpt" << "変更" << QRect(3720, 360, 1095, 375);
    QTest::newRow("cmdCancel") << "cmdCancel" << "frmOpt" << "キャンセル" << QRect(3720, 960, 1095, 375);
}

void tst_frmOpt::controlsAtDesignPositions()
{
    QFETCH(QString, name);
    QFETCH(QString, parentName);
    QFETCH(QString, caption);
    QFETCH(QRect, twips);

    frmOpt dialog;
    const auto *control = dialog.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget()->objectName(), parentName);
    const QRect pixels(Twips::toPixels(twips.x()), Twips::toPixels(twips.y()), Twips::toPixels(twips.width()),
                       Twips::toPixels(twips.height()));
    QCOMPARE(control->geometry(), pixels);

    if (const auto *label = qobject_cast<const QLabel *>(control))
        QCOMPARE(label->text(), caption);
    else if (const auto *push = qobject_cast<const QPushButton *>(control))
        QCOMPARE(push->text(), caption);
    else if (const auto *frame = qobject_cast<const QGroupBox *>(control))
        QCOMPARE(frame->title(), caption);
    else
        QVERIFY(qobject_cast<const QComboBox *>(control));
}

void tst_frmOpt::captionsAreWhole()
{
    frmOpt dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // A label wider than its box in the platform's default font is drawn whole, narrowed (FittingLabel).
    for (const QLabel *label : dialog.findChildren<QLabel *>()) {
        const QFontMetrics metrics(label->font());
        QVERIFY2(qobject_cast<const FittingLabel *>(label)
                     || metrics.horizontalAdvance(label->text()) <= label->contentsRect().width(),
                 qPrintable(label->objectName()));
    }
    for (const QPushButton *push : dialog.findChildren<QPushButton *>()) {
        const QFontMetrics metrics(push->font());
        QVERIFY2(metrics.horizontalAdvance(push->text()) < push->width(), qPrintable(push->objectName()));
        QVERIFY2(metrics.height() < push->height(), qPrintable(push->objectName()));
    }
    const auto *frame = dialog.findChild<QGroupBox *>(QStringLiteral("Frame1"));
    QVERIFY(QFontMetrics(frame->font()).horizontalAdvance(frame->title()) < frame->width());
}

void tst_frmOpt::combosAreDropDownCombos()
{
    frmOpt dialog;
    for (const char *name : ComboNames) {
        const QComboBox *box = combo(dialog, name);
        QVERIFY2(box, name);
        QVERIFY(box->isEditable());
        QCOMPARE(box->insertPolicy(), QComboBox::NoInsert);
        QVERIFY2(!box->completer(), "typed text is not completed from the list");
    }
}

void tst_frmOpt::listsHoldPresetsInOrder_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");

    QTest::newRow("ViewTimeList") << "cmbViewTime"
                                  << QStringList{"10", "7", "5", "3", "2", "1", "0.7", "0.5", "0.3", "0.2", "0.1"};
    QTest::newRow("ViewStringLen") << "cmbStringLen" << QStringList{"3", "4", "5", "6", "7", "8", "9", "10"};
    QTest::newRow("ViewAnsTimeList") << "cmbViewAnsTime" << QStringList{"1", "2", "3"};
    QTest::newRow("ViewKigouNum") << "cmbKigouNum" << QStringList{"55", "40", "30", "20", "10", "5"};
}

void tst_frmOpt::listsHoldPresetsInOrder()
{
    QFETCH(QString, name);
    QFETCH(QStringList, items);

    frmOpt dialog;
    const QComboBox *box = dialog.findChild<QComboBox *>(name);
    QVERIFY(box);
    QStringList actual;
    for (int i = 0; i < box->count(); ++i)
        actual << box->itemText(i);
    QCOMPARE(actual, items);
}

void tst_frmOpt::reopeningShowsEachListOnce()
{
    const QList<int> counts = {11, 8, 3, 6};
    for (int opening = 0; opening < 3; ++opening) {
        frmOpt dialog;
        dialog.setSettingsPath(settingsPath());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (int i = 0; i < 4; ++i)
            QCOMPARE(combo(dialog, ComboNames[i])->count(), counts[i]);
        // Typed text goes into no list, also when confirmed.
        type(combo(dialog, "cmbViewTime"), QStringLiteral("4.5"));
        QTest::mouseClick(button(dialog, "cmdOk"), Qt::LeftButton);
        QCOMPARE(combo(dialog, "cmbViewTime")->count(), 11);
    }
}

void tst_frmOpt::opensWithCurrentValues_data()
{
    QTest::addColumn<double>("viewTime");
    QTest::addColumn<int>("stringLen");
    QTest::addColumn<double>("viewAnsTime");
    QTest::addColumn<int>("kigouNum");
    // Expected current index and edit text of the four combo boxes, in ComboNames order.
    QTest::addColumn<QList<int>>("indices");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("defaults") << 3.0 << 5 << 3.0 << 50 << QList<int>{3, 2, 2, -1}
                              << QStringList{"3", "5", "3", "50"};
    QTest::newRow("first items") << 10.0 << 3 << 1.0 << 55 << QList<int>{0, 0, 0, 0}
                                 << QStringList{"10", "3", "1", "55"};
    QTest::newRow("last items") << 0.1 << 10 << 3.0 << 5 << QList<int>{10, 7, 2, 5}
                                << QStringList{"0.1", "10", "3", "5"};
    QTest::newRow("0.7 item 6") << 0.7 << 7 << 2.0 << 40 << QList<int>{6, 4, 1, 1}
                                << QStringList{"0.7", "7", "2", "40"};
    QTest::newRow("0.2 item 9") << 0.2 << 4 << 1.0 << 10 << QList<int>{9, 1, 0, 4}
                                << QStringList{"0.2", "4", "1", "10"};
    QTest::newRow("off the lists") << 4.5 << 12 << 0.5 << 25 << QList<int>{-1, -1, -1, -1}
                                   << QStringList{"4.5", "12", "0.5", "25"};
    QTest::newRow("0.25 and bounds") << 0.25 << 1 << 10.0 << 3 << QList<int>{-1, -1, -1, -1}
                                     << QStringList{"0.25", "1", "10", "3"};
    QTest::newRow("upper bounds") << 10.0 << 20 << 0.1 << 55 << QList<int>{0, -1, -1, 0}
                                  << QStringList{"10", "20", "0.1", "55"};
    // Exact equality: a double next to 0.7 is not the preset, although its 15-digit text reads 0.7.
    QTest::newRow("next to 0.7") << std::nextafter(0.7, 1.0) << 5 << std::nextafter(3.0, 0.0) << 50
                                 << QList<int>{-1, 2, -1, -1} << QStringList{"0.7", "5", "3", "50"};
}

void tst_frmOpt::opensWithCurrentValues()
{
    QFETCH(double, viewTime);
    QFETCH(int, stringLen);
    QFETCH(double, viewAnsTime);
    QFETCH(int, kigouNum);
    QFETCH(QList<int>, indices);
    QFETCH(QStringList, texts);

    Opt = {viewTime, qint16(stringLen), viewAnsTime, qint16(kigouNum)};
    const OptData before = Opt;
    frmOpt dialog;
    for (int i = 0; i < 4; ++i) {
        const QComboBox *box = combo(dialog, ComboNames[i]);
        QCOMPARE(box->currentIndex(), indices[i]);
        QCOMPARE(box->currentText(), texts[i]);
    }
    QVERIFY(Opt == before);
    QVERIFY(!QFile::exists(settingsPath()));
}

void tst_frmOpt::focusAndTabOrder()
{
    frmOpt dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));

    auto focusedControl = [&dialog]() -> QString {
        for (QWidget *w = QApplication::focusWidget(); w && w != &dialog; w = w->parentWidget()) {
            if (!w->objectName().isEmpty() && !w->objectName().startsWith(u"qt_"))
                return w->objectName();
        }
        return {};
    };

    QCOMPARE(focusedControl(), QStringLiteral("cmbViewTime"));
    const QStringList order = {"cmbStringLen", "cmdOk", "cmdCancel", "cmbViewAnsTime", "cmbKigouNum", "cmbViewTime"};
    for (const QString &expected : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(focusedControl(), expected);
    }
}

void tst_frmOpt::buttonRoles()
{
    frmOpt dialog;
    QVERIFY(button(dialog, "cmdOk")->isDefault());
    QVERIFY(!button(dialog, "cmdCancel")->isDefault());
}

void tst_frmOpt::savesToTheSettingsFileByDefault()
{
    frmOpt dialog;
    QCOMPARE(dialog.settingsPath(), mdlUser::settingsFilePath());
}

void tst_frmOpt::confirmBoundsAndStores_data()
{
    QTest::addColumn<QString>("comboName");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("stored");

    auto row = [](const char *comboName, const char *field, const QString &typed, double stored) {
        QTest::addRow("%s %s", field, qPrintable(typed.isEmpty() ? QStringLiteral("(empty)") : typed))
            << QString::fromLatin1(comboName) << QString::fromLatin1(field) << typed << stored;
    };

    row("cmbViewTime", "ViewTime", QStringLiteral("0.05"), 0.1);
    row("cmbViewTime", "ViewTime", QStringLiteral("12.5"), 10);
    row("cmbViewTime", "ViewTime", QStringLiteral("0.1"), 0.1);
    row("cmbViewTime", "ViewTime", QStringLiteral("10"), 10);
    row("cmbViewTime", "ViewTime", QStringLiteral("4.5"), 4.5);
    row("cmbViewTime", "ViewTime", QStringLiteral("0.70"), 0.7);
    row("cmbViewTime", "ViewTime", QStringLiteral("7"), 7);
    row("cmbViewTime", "ViewTime", QStringLiteral("2.5秒"), 2.5);
    row("cmbViewTime", "ViewTime", QString(), 0.1);
    row("cmbViewTime", "ViewTime", QStringLiteral("abc"), 0.1);
    row("cmbViewTime", "ViewTime", QStringLiteral("秒"), 0.1);
    row("cmbViewTime", "ViewTime", QStringLiteral("-5"), 0.1);
    row("cmbViewTime", "ViewTime", QStringLiteral("0.0999999"), 0.1);
    row("cmbViewTime", "ViewTime", QStringLiteral("10.000001"), 10);
    row("cmbViewTime", "ViewTime", QStringLiteral("99999"), 10);
    row("cmbViewTime", "ViewTime", QStringLiteral("1e400"), 10);
    row("cmbViewTime", "ViewTime", QStringLiteral("-1e400"), 0.1);
    row("cmbViewTime", "ViewTime", QStringLiteral("1e-400"), 0.1);
    row("cmbViewTime", "ViewTime", QStringLiteral("９"), 9);
    row("cmbViewTime", "ViewTime", QStringLiteral("１．５"), 1.5);
    row("cmbViewTime", "ViewTime", QStringLiteral(" 6.5"), 6.5);

    row("cmbStringLen", "StringLen", QStringLiteral("0"), 1);
    row("cmbStringLen", "StringLen", QStringLiteral("-3"), 1);
    row("cmbStringLen", "StringLen", QStringLiteral("25"), 20);
    row("cmbStringLen", "StringLen", QStringLiteral("20.5"), 20);
    row("cmbStringLen", "StringLen", QStringLiteral("19.5"), 20);
    row("cmbStringLen", "StringLen", QStringLiteral("12"), 12);
    row("cmbStringLen", "StringLen", QStringLiteral("2.5"), 2);
    row("cmbStringLen", "StringLen", QStringLiteral("3.5"), 4);
    row("cmbStringLen", "StringLen", QStringLiteral("0.5"), 1);
    row("cmbStringLen", "StringLen", QStringLiteral("5文字"), 5);
    row("cmbStringLen", "StringLen", QString(), 1);
    row("cmbStringLen", "StringLen", QStringLiteral("99999"), 20);
    row("cmbStringLen", "StringLen", QStringLiteral("-99999"), 1);
    row("cmbStringLen", "StringLen", QStringLiteral("32767.5"), 20);
    row("cmbStringLen", "StringLen", QStringLiteral("1e400"), 20);
    row("cmbStringLen", "StringLen", QStringLiteral("-1e400"), 1);
    row("cmbStringLen", "StringLen", QStringLiteral("８"), 8);

    row("cmbViewAnsTime", "ViewAnsTime", QStringLiteral("0.1"), 0.1);
    row("cmbViewAnsTime", "ViewAnsTime", QStringLiteral("10"), 10);
    row("cmbViewAnsTime", "ViewAnsTime", QStringLiteral("7.25"), 7.25);
    row("cmbViewAnsTime", "ViewAnsTime", QStringLiteral("0"), 0.1);
    row("cmbViewAnsTime", "ViewAnsTime", QStringLiteral("11"), 10);
    row("cmbViewAnsTime", "ViewAnsTime", QStringLiteral("1e400"), 10);
    row("cmbViewAnsTime", "ViewAnsTime", QStringLiteral("-99999"), 0.1);
    row("cmbViewAnsTime", "ViewAnsTime", QStringLiteral("2.5秒"), 2.5);
    row("cmbViewAnsTime", "ViewAnsTime", QString(), 0.1);

    row("cmbKigouNum", "KigouNum", QStringLiteral("1"), 3);
    row("cmbKigouNum", "KigouNum", QStringLiteral("56"), 55);
    row("cmbKigouNum", "KigouNum", QStringLiteral("54.5"), 54);
    row("cmbKigouNum", "KigouNum", QStringLiteral("3.5"), 4);
    row("cmbKigouNum", "KigouNum", QStringLiteral("2.5"), 3);
    row("cmbKigouNum", "KigouNum", QStringLiteral("25"), 25);
    row("cmbKigouNum", "KigouNum", QStringLiteral("99999"), 55);
    row("cmbKigouNum", "KigouNum", QStringLiteral("-99999"), 3);
    row("cmbKigouNum", "KigouNum", QStringLiteral("1e400"), 55);
    row("cmbKigouNum", "KigouNum", QStringLiteral("-1e400"), 3);
    row("cmbKigouNum", "KigouNum", QString(), 3);
    row("cmbKigouNum", "KigouNum", QStringLiteral("x40"), 3);
    row("cmbKigouNum", "KigouNum", QStringLiteral("４０"), 40);
}

void tst_frmOpt::confirmBoundsAndStores()
{
    QFETCH(QString, comboName);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(double, stored);

    QWidget owner;
    frmOpt dialog(&owner);
    dialog.setSettingsPath(settingsPath());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QComboBox *box = dialog.findChild<QComboBox *>(comboName);
    type(box, typed);
    QCOMPARE(box->currentText(), typed);

    MessageBoxCatcher catcher;
    QTest::mouseClick(button(dialog, "cmdOk"), Qt::LeftButton);
    QVERIFY2(!catcher.seen(), "a successful save shows no message");

    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const OptData expected = with(OptData{}, field, stored);
    QVERIFY2(Opt == expected, qPrintable(describe(Opt) + QStringLiteral(" != ") + describe(expected)));
    QCOMPARE(readAll(settingsPath()), recordBytes(expected));
}

void tst_frmOpt::confirmWritesTwentyBytes_data()
{
    QTest::addColumn<double>("viewTime");
    QTest::addColumn<int>("stringLen");
    QTest::addColumn<double>("viewAnsTime");
    QTest::addColumn<int>("kigouNum");
    QTest::addColumn<QByteArray>("hex");

    QTest::newRow("defaults, nothing changed") << 3.0 << 5 << 3.0 << 50
                                               << QByteArray("0000000000000840050000000000000008403200");
    QTest::newRow("0.7 20 0.1 55") << 0.7 << 20 << 0.1 << 55
                                   << QByteArray("666666666666e63f14009a9999999999b93f3700");
    QTest::newRow("10 1 10 3") << 10.0 << 1 << 10.0 << 3
                               << QByteArray("0000000000002440010000000000000024400300");
}

void tst_frmOpt::confirmWritesTwentyBytes()
{
    QFETCH(double, viewTime);
    QFETCH(int, stringLen);
    QFETCH(double, viewAnsTime);
    QFETCH(int, kigouNum);
    QFETCH(QByteArray, hex);

    // Nothing typed: the values shown at opening are confirmed and written, every time.
    Opt = {viewTime, qint16(stringLen), viewAnsTime, qint16(kigouNum)};
    const OptData before = Opt;
    for (int confirmation = 0; confirmation < 2; ++confirmation) {
        frmOpt dialog;
        dialog.setSettingsPath(settingsPath());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::mouseClick(button(dialog, "cmdOk"), Qt::LeftButton);
        QVERIFY(dialog.isHidden());
        QVERIFY(Opt == before);
        const QByteArray bytes = readAll(settingsPath());
        QCOMPARE(bytes.size(), 20);
        QCOMPARE(bytes.toHex(), hex);
        QCOMPARE(bytes, recordBytes(before));
    }
}

void tst_frmOpt::confirmKeepsBytesAfterTheRecord()
{
    const QByteArray old = QByteArray(20, '\xAA') + QByteArray("tail!");
    QVERIFY(writeAll(settingsPath(), old));

    frmOpt dialog;
    dialog.setSettingsPath(settingsPath());
    type(combo(dialog, "cmbKigouNum"), QStringLiteral("30"));
    dialog.cmdOk_Click();

    const OptData expected{3.0, 5, 3.0, 30};
    QVERIFY(Opt == expected);
    QCOMPARE(readAll(settingsPath()), recordBytes(expected) + QByteArray("tail!"));
}

void tst_frmOpt::storedValueShownNextTime_data()
{
    QTest::addColumn<QString>("comboName");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");

    QTest::newRow("4.5 as text") << "cmbViewTime" << "4.5" << -1 << "4.5";
    QTest::newRow("0.70 selects item 6") << "cmbViewTime" << "0.70" << 6 << "0.7";
    QTest::newRow("12.5 selects 10") << "cmbViewTime" << "12.5" << 0 << "10";
    QTest::newRow("0.05 shows 0.1") << "cmbViewTime" << "0.05" << 10 << "0.1";
    QTest::newRow("StringLen 12 as text") << "cmbStringLen" << "12" << -1 << "12";
    QTest::newRow("StringLen 19.5 shows 20") << "cmbStringLen" << "19.5" << -1 << "20";
    QTest::newRow("StringLen 7.4 selects 7") << "cmbStringLen" << "7.4" << 4 << "7";
    QTest::newRow("ViewAnsTime 7.25 as text") << "cmbViewAnsTime" << "7.25" << -1 << "7.25";
    QTest::newRow("ViewAnsTime 2.0 selects 2") << "cmbViewAnsTime" << "2.0" << 1 << "2";
    QTest::newRow("KigouNum 54.5 shows 54") << "cmbKigouNum" << "54.5" << -1 << "54";
    QTest::newRow("KigouNum full-width 40") << "cmbKigouNum" << "４０" << 1 << "40";
}

void tst_frmOpt::storedValueShownNextTime()
{
    QFETCH(QString, comboName);
    QFETCH(QString, typed);
    QFETCH(int, index);
    QFETCH(QString, text);

    {
        frmOpt dialog;
        dialog.setSettingsPath(settingsPath());
        type(dialog.findChild<QComboBox *>(comboName), typed);
        dialog.cmdOk_Click();
    }
    {
        frmOpt dialog;
        const QComboBox *box = dialog.findChild<QComboBox *>(comboName);
        QCOMPARE(box->currentIndex(), index);
        QCOMPARE(box->currentText(), text);
    }
    // And the same after the next start, which reads the file.
    const OptData stored = Opt;
    Opt = OptData{};
    mdlUser::LoadOpt(settingsPath());
    QVERIFY(Opt == stored);
    frmOpt dialog;
    const QComboBox *box = dialog.findChild<QComboBox *>(comboName);
    QCOMPARE(box->currentIndex(), index);
    QCOMPARE(box->currentText(), text);
}

void tst_frmOpt::enterConfirms_data()
{
    QTest::addColumn<QString>("comboName");
    QTest::addColumn<QString>("typed");

    QTest::newRow("in cmbViewTime") << "cmbViewTime" << "4.5";
    QTest::newRow("in cmbStringLen") << "cmbStringLen" << "12";
    QTest::newRow("in cmbViewAnsTime") << "cmbViewAnsTime" << "7";
    QTest::newRow("in cmbKigouNum") << "cmbKigouNum" << "25";
}

void tst_frmOpt::enterConfirms()
{
    QFETCH(QString, comboName);
    QFETCH(QString, typed);

    frmOpt dialog;
    dialog.setSettingsPath(settingsPath());
    QComboBox *box = dialog.findChild<QComboBox *>(comboName);
    const int count = box->count();
    QTimer::singleShot(0, &dialog, [&] {
        if (!QTest::qWaitForWindowActive(&dialog))
            return;
        box->setFocus();
        type(box, typed);
        // Keys go to the focus widget: the combo box, which hands them to its edit field.
        if (QApplication::focusWidget() == box)
            QTest::keyClick(box, Qt::Key_Return);
    });
    QTimer::singleShot(5000, &dialog, [&] { dialog.done(-1); });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));

    QCOMPARE(box->count(), count);
    const double value = typed.toDouble();
    const OptData expected = with(OptData{}, QString(comboName).remove(0, 3), value);
    QVERIFY2(Opt == expected, qPrintable(describe(Opt)));
    QCOMPARE(readAll(settingsPath()), recordBytes(expected));
}

void tst_frmOpt::typedTextIsNotCompleted()
{
    // "1" is the start of the item "10": the edit field keeps what was typed.
    frmOpt dialog;
    dialog.setSettingsPath(settingsPath());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QComboBox *box = combo(dialog, "cmbViewTime");
    type(box, QStringLiteral("1"));
    QCOMPARE(box->currentText(), QStringLiteral("1"));
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    QVERIFY(dialog.isHidden());
    QCOMPARE(Opt.ViewTime, 1.0);
}

void tst_frmOpt::leavesWithoutChanges_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("fileExists");

    for (const char *how : {"cmdCancel", "close box", "Esc"}) {
        QTest::addRow("%s, file present", how) << QString::fromLatin1(how) << true;
        QTest::addRow("%s, no file", how) << QString::fromLatin1(how) << false;
    }
}

void tst_frmOpt::leavesWithoutChanges()
{
    QFETCH(QString, how);
    QFETCH(bool, fileExists);

    Opt = {4.5, 12, 0.7, 25};
    const OptData before = Opt;
    const QByteArray old = recordBytes({2.0, 7, 1.0, 40}) + QByteArray("xyz");
    if (fileExists)
        QVERIFY(writeAll(settingsPath(), old));

    frmOpt dialog;
    dialog.setSettingsPath(settingsPath());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    const QStringList typed = {"9", "15", "0.5", "3"};
    for (int i = 0; i < 4; ++i)
        type(combo(dialog, ComboNames[i]), typed[i]);

    MessageBoxCatcher catcher;
    if (how == u"cmdCancel")
        QTest::mouseClick(button(dialog, "cmdCancel"), Qt::LeftButton);
    else if (how == u"close box")
        QVERIFY(dialog.close());
    else
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);

    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!catcher.seen());
    QVERIFY(Opt == before);
    if (fileExists)
        QCOMPARE(readAll(settingsPath()), old);
    else
        QVERIFY(!QFile::exists(settingsPath()));
}

void tst_frmOpt::failedSaveIsReported_data()
{
    QTest::addColumn<QString>("kind");

    QTest::newRow("folder missing") << "folder missing";
    QTest::newRow("folder is a file") << "folder is a file";
    QTest::newRow("path is a folder") << "path is a folder";
}

void tst_frmOpt::failedSaveIsReported()
{
    QFETCH(QString, kind);

    QString path;
    if (kind == u"folder missing") {
        path = m_dir->filePath(QStringLiteral("missing/qelo.ini"));
    } else if (kind == u"folder is a file") {
        QVERIFY(writeAll(m_dir->filePath(QStringLiteral("plain")), "x"));
        path = m_dir->filePath(QStringLiteral("plain/qelo.ini"));
    } else {
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("qelo.ini")));
        path = settingsPath();
    }
    const QString reason = mdlUser::SaveOpt(path).error;
    QVERIFY(!reason.isEmpty());

    QWidget owner;
    frmOpt dialog(&owner);
    dialog.setSettingsPath(path);
    QTimer::singleShot(0, &dialog, [&] {
        type(combo(dialog, "cmbViewTime"), QStringLiteral("4.5"));
        type(combo(dialog, "cmbKigouNum"), QStringLiteral("20"));
        QTest::mouseClick(button(dialog, "cmdOk"), Qt::LeftButton);
    });
    QTimer::singleShot(5000, &dialog, [&] { dialog.done(-1); });
    MessageBoxCatcher catcher;
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));

    // Not passed off as success: the player is told, and the values still apply for this run.
    QVERIFY(catcher.seen());
    QCOMPARE(catcher.objectName(), QStringLiteral("saveFailedMessage"));
    QCOMPARE(catcher.icon(), QMessageBox::Warning);
    QCOMPARE(catcher.parent(), &owner);
    QCOMPARE(catcher.text(), frmOpt::saveFailedText(path, reason));
    QVERIFY(catcher.text().contains(QDir::toNativeSeparators(path)));
    QVERIFY(catcher.text().contains(reason));
    QVERIFY(dialog.isHidden());
    const OptData expected{4.5, 5, 3.0, 20};
    QVERIFY2(Opt == expected, qPrintable(describe(Opt)));
    QVERIFY(!QFileInfo(path).isFile());
}

void tst_frmOpt::failedSaveKeepsTheOldFile()
{
#ifdef Q_OS_UNIX
    const QByteArray old = recordBytes({2.0, 7, 1.0, 40}) + QByteArray("tail");
    QVERIFY(writeAll(settingsPath(), old));

    frmOpt dialog;
    dialog.setSettingsPath(settingsPath());
    type(combo(dialog, "cmbStringLen"), QStringLiteral("9"));

    std::optional<FileSizeLimit> diskFull;
    diskFull.emplace(10);
    QVERIFY(diskFull->active());
    // The limit is lifted as soon as the message is up: the write has failed by then.
    MessageBoxCatcher catcher([&diskFull] { diskFull.reset(); });
    dialog.cmdOk_Click();
    diskFull.reset();

    QVERIFY(catcher.seen());
    QVERIFY(catcher.text().contains(QDir::toNativeSeparators(settingsPath())));
    QVERIFY(dialog.isHidden());
    const OptData expected{3.0, 9, 3.0, 50};
    QVERIFY(Opt == expected);
    QCOMPARE(readAll(settingsPath()), old);
    // No temporary file is left behind.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"qelo.ini"});
#else
    QSKIP("needs a per-process file size limit");
#endif
}

void tst_frmOpt::failedSaveMessageText()
{
    const QString path = QStringLiteral("/nowhere/qelo.ini");
    const QString text = frmOpt::saveFailedText(path, QStringLiteral("No such file or directory"));
    QVERIFY(text.contains(QStringLiteral("保存できませんでした")));
    QVERIFY(text.contains(QDir::toNativeSeparators(path)));
    QVERIFY(text.contains(QStringLiteral("No such file or directory")));
    QVERIFY(!frmOpt::saveFailedText(path, QString()).contains(QStringLiteral("理由: \n")));
}

QTEST_MAIN(tst_frmOpt)
#include "tst_frmopt.moc"
