// Checks the settings dialog through its real widgets: filling, bounding, saving and cancelling.
#include "forms/settings/frmOpt.h"
#include "modules/mdlUser.h"

#include <QApplication>
#include <QComboBox>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <functional>
#include <optional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using mdlUser::Opt;

namespace {

const QStringList ComboNames = {"cmbViewTime", "cmbStringLen", "cmbViewAnsTime", "cmbKigouNum"};
const QStringList Presets[] = {{"10", "7", "5", "3", "2", "1", "0.7", "0.5", "0.3", "0.2", "0.1"},
                               {"3", "4", "5", "6", "7", "8", "9", "10"},
                               {"1", "2", "3"},
                               {"55", "40", "30", "20", "10", "5"}};

// Opt's four values in ComboNames order; QCOMPARE on the list compares them exactly.
QList<double> fields(const OptData &opt)
{
    return {opt.ViewTime, double(opt.StringLen), opt.ViewAnsTime, double(opt.KigouNum)};
}

// The file's 20 bytes, encoded here independently of mdlUser.
QByteArray recordBytes(const QList<double> &f)
{
    QByteArray out;
    QDataStream stream(&out, QIODevice::WriteOnly);
    stream.setByteOrder(QDataStream::LittleEndian);
    stream << f[0] << qint16(f[1]) << f[2] << qint16(f[3]);
    return out;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QComboBox *combo(const QWidget &dialog, const QString &name)
{
    return dialog.findChild<QComboBox *>(name);
}

QStringList items(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

// Types into the edit field as a player would: ASCII by keys, other characters as an input method commits them.
void type(QComboBox *box, const QString &text)
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

// Runs the action; a message box it opens is read and closed from inside the box's own event loop.
std::optional<QString> messageDuring(const std::function<void()> &action)
{
    std::optional<QString> text;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    timer.start(0);
    action();
    return text;
}

} // namespace

class tst_frmOpt : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void opensWithCurrentValuesAndConfirmsThemUnchanged_data();
    void opensWithCurrentValuesAndConfirmsThemUnchanged();
    void confirmStoresBoundedValuesShownNextTime_data();
    void confirmStoresBoundedValuesShownNextTime();
    void leavesWithoutChanges_data();
    void leavesWithoutChanges();
    void failedSaveIsReported_data();
    void failedSaveIsReported();

private:
    QString settingsPath() const { return m_dir->filePath(QStringLiteral("qelo.ini")); }
    std::optional<QTemporaryDir> m_dir;
};

void tst_frmOpt::initTestCase()
{
    // The test's own encoding against known bytes: little-endian doubles and 16-bit integers.
    QCOMPARE(recordBytes({3, 5, 3, 50}).toHex(), "0000000000000840050000000000000008403200");
    QCOMPARE(recordBytes({0.7, 20, 0.1, 55}).toHex(), "666666666666e63f14009a9999999999b93f3700");
}

void tst_frmOpt::init()
{
    Opt = OptData{};
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
}

void tst_frmOpt::opensWithCurrentValuesAndConfirmsThemUnchanged_data()
{
    QTest::addColumn<QList<double>>("values");
    // Expected current index and edit text of the four combo boxes, in ComboNames order.
    QTest::addColumn<QList<int>>("indices");
    QTest::addColumn<QStringList>("texts");

    const auto row = [](const char *name, QList<double> values, QList<int> indices, QStringList texts) {
        QTest::newRow(name) << values << indices << texts;
    };
    row("defaults", {3, 5, 3, 50}, {3, 2, 2, -1}, {"3", "5", "3", "50"});
    row("first items", {10, 3, 1, 55}, {0, 0, 0, 0}, {"10", "3", "1", "55"});
    row("last items", {0.1, 10, 3, 5}, {10, 7, 2, 5}, {"0.1", "10", "3", "5"});
    row("0.7 item 6", {0.7, 7, 2, 40}, {6, 4, 1, 1}, {"0.7", "7", "2", "40"});
    row("off the lists", {4.5, 12, 0.5, 25}, {-1, -1, -1, -1}, {"4.5", "12", "0.5", "25"});
    // Exact equality: a double next to 0.7 is not the preset, although its 15-digit text reads 0.7.
    row("next to 0.7", {std::nextafter(0.7, 1.0), 5, std::nextafter(3.0, 0.0), 50}, {-1, 2, -1, -1},
        {"0.7", "5", "3", "50"});
}

void tst_frmOpt::opensWithCurrentValuesAndConfirmsThemUnchanged()
{
    QFETCH(QList<double>, values);
    QFETCH(QList<int>, indices);
    QFETCH(QStringList, texts);

    Opt = {values[0], qint16(values[1]), values[2], qint16(values[3])};
    QVERIFY(writeAll(settingsPath(), QByteArray(20, '\xAA') + "tail!"));
    frmOpt dialog;
    QCOMPARE(dialog.settingsPath(), mdlUser::settingsFilePath());
    dialog.setSettingsPath(settingsPath());
    QList<double> shown;
    for (int i = 0; i < 4; ++i) {
        const QComboBox *box = combo(dialog, ComboNames[i]);
        QCOMPARE(items(box), Presets[i]);
        QCOMPARE(box->currentIndex(), indices[i]);
        QCOMPARE(box->currentText(), texts[i]);
        shown << texts[i].toDouble();
    }
    QCOMPARE(fields(Opt), values);

    // Nothing typed: what is shown is confirmed, and its 20 bytes replace the file's first 20.
    QVERIFY(!messageDuring([&] { dialog.cmdOk_Click(); }));
    QCOMPARE(fields(Opt), shown);
    QCOMPARE(readAll(settingsPath()), recordBytes(shown) + "tail!");
}

void tst_frmOpt::confirmStoresBoundedValuesShownNextTime_data()
{
    QTest::addColumn<QString>("comboName");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("stored");
    QTest::addColumn<bool>("byEnter");

    using Cases = std::initializer_list<std::pair<const char *, double>>;
    const auto rows = [](const char *comboName, Cases cases, bool byEnter = false) {
        for (const auto &[typed, stored] : cases)
            QTest::addRow("%s '%s'%s", comboName, typed, byEnter ? " Enter" : "")
                << QString::fromLatin1(comboName) << QString::fromUtf8(typed) << stored << byEnter;
    };
    // Times: the leading number, full-width forms too, bounded to 0.1..10.
    rows("cmbViewTime", {{"0.05", 0.1}, {"12.5", 10}, {"4.5", 4.5}, {"0.70", 0.7}, {"2.5秒", 2.5}, {"", 0.1}});
    rows("cmbViewTime", {{"abc", 0.1}, {"-5", 0.1}, {"1e400", 10}, {"-1e400", 0.1}, {"１．５", 1.5}});
    rows("cmbViewAnsTime", {{"0", 0.1}, {"11", 10}, {"7.25", 7.25}, {"2.0", 2}, {"2.5秒", 2.5}, {"", 0.1}});
    // Counts: rounded halves to even and saturated to 16 bits first, then bounded.
    rows("cmbStringLen", {{"0", 1}, {"25", 20}, {"12", 12}, {"2.5", 2}, {"3.5", 4}, {"5文字", 5}});
    rows("cmbStringLen", {{"-99999", 1}, {"99999", 20}, {"32767.5", 20}, {"1e400", 20}, {"８", 8}});
    rows("cmbKigouNum", {{"1", 3}, {"56", 55}, {"54.5", 54}, {"2.5", 3}, {"-1e400", 3}, {"x40", 3}, {"４０", 40}});
    // Enter in any field presses the default button; typed "1" and "4" start the items "10" and "40".
    rows("cmbViewTime", {{"1", 1}}, true);
    rows("cmbKigouNum", {{"4", 4}}, true);
    rows("cmbViewAnsTime", {{"2.5", 2.5}}, true);
}

void tst_frmOpt::confirmStoresBoundedValuesShownNextTime()
{
    QFETCH(QString, comboName);
    QFETCH(QString, typed);
    QFETCH(double, stored);
    QFETCH(bool, byEnter);

    const int which = ComboNames.indexOf(comboName);
    QList<double> expected = fields(OptData{});
    expected[which] = stored;
    {
        frmOpt dialog;
        dialog.setSettingsPath(settingsPath());
        QComboBox *box = combo(dialog, comboName);
        if (byEnter) {
            dialog.show();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            box->setFocus();
        }
        type(box, typed);
        QCOMPARE(box->currentText(), typed);
        const auto message = messageDuring([&] {
            if (byEnter)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            else
                dialog.cmdOk_Click();
        });
        QVERIFY2(!message, "a successful save shows no message");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(items(box), Presets[which]);
    }
    QCOMPARE(fields(Opt), expected);
    QCOMPARE(readAll(settingsPath()), recordBytes(expected));

    // The next opening selects the stored value's preset, or shows its text when no preset equals it.
    frmOpt next;
    QCOMPARE(items(combo(next, comboName)), Presets[which]);
    const QString text = QString::number(stored);
    QCOMPARE(combo(next, comboName)->currentText(), text);
    QCOMPARE(combo(next, comboName)->currentIndex(), Presets[which].indexOf(text));
}

void tst_frmOpt::leavesWithoutChanges_data()
{
    QTest::addColumn<QString>("how");

    for (const char *how : {"cmdCancel", "close box", "Esc"})
        QTest::newRow(how) << QString::fromLatin1(how);
}

void tst_frmOpt::leavesWithoutChanges()
{
    QFETCH(QString, how);

    Opt = {4.5, 12, 0.7, 25};
    const QList<double> before = fields(Opt);
    const QByteArray old = recordBytes({2, 7, 1, 40}) + "xyz";
    QVERIFY(writeAll(settingsPath(), old));

    frmOpt dialog;
    dialog.setSettingsPath(settingsPath());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    const QStringList typed = {"9", "15", "0.5", "3"};
    for (int i = 0; i < 4; ++i)
        type(combo(dialog, ComboNames[i]), typed[i]);

    if (how == u"cmdCancel")
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdCancel")), Qt::LeftButton);
    else if (how == u"close box")
        dialog.close();
    else
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(dialog.isHidden());
    QCOMPARE(fields(Opt), before);
    QCOMPARE(readAll(settingsPath()), old);
}

void tst_frmOpt::failedSaveIsReported_data()
{
    QTest::addColumn<QString>("kind");

    QTest::newRow("folder missing") << "folder missing";
    QTest::newRow("path is a folder") << "path is a folder";
#ifdef Q_OS_UNIX
    QTest::newRow("disk full") << "disk full";
#endif
}

void tst_frmOpt::failedSaveIsReported()
{
    QFETCH(QString, kind);

    QString path = settingsPath();
    if (kind == u"folder missing")
        path = m_dir->filePath(QStringLiteral("missing/qelo.ini"));
    else if (kind == u"path is a folder")
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("qelo.ini")));
    else
        QVERIFY(writeAll(path, recordBytes({2, 7, 1, 40}) + "tail"));
    const QByteArray old = readAll(path);

    frmOpt dialog;
    dialog.setSettingsPath(path);
    type(combo(dialog, QStringLiteral("cmbViewTime")), QStringLiteral("4.5"));
    type(combo(dialog, QStringLiteral("cmbKigouNum")), QStringLiteral("20"));
    std::optional<QString> message;
    QByteArray after;
    QString reason;
    {
#ifdef Q_OS_UNIX
        // A real "disk full", root included: no file may grow past 10 bytes while the limit holds.
        rlimit normal{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &normal) == 0);
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        const auto restore = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &normal); std::signal(SIGXFSZ, handler); });
        rlimit full = normal;
        full.rlim_cur = 10;
        if (kind == u"disk full")
            QVERIFY(setrlimit(RLIMIT_FSIZE, &full) == 0);
#endif
        message = messageDuring([&] { dialog.cmdOk_Click(); });
        after = readAll(path);
        reason = mdlUser::SaveOpt(path).error; // what the system says, for the same write
    }

    // Not passed off as success: the player is told which file and why; the values still apply for this run.
    QVERIFY(message);
    QVERIFY(message->contains(QDir::toNativeSeparators(path)));
    QVERIFY(dialog.isHidden());
    QCOMPARE(fields(Opt), (QList<double>{4.5, 5, 3, 20}));
    QCOMPARE(after, old);
    QVERIFY(!reason.isEmpty());
    QVERIFY(message->contains(reason));
    QVERIFY(!frmOpt::saveFailedText(path, QString()).contains(QStringLiteral("理由: \n")));
}

QTEST_MAIN(tst_frmOpt)
#include "tst_frmopt.moc"
