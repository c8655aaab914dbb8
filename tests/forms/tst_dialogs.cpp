// Checks the settings and About dialogs through their real widgets: filling, bounding, saving, closing.
#include "forms/about/frmAbout.h"
#include "forms/settings/frmOpt.h"
#include "platform/Twips.h"
#include "version.h"

#include <QApplication>
#include <QComboBox>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <functional>
#include <optional>

using mdlUser::Opt;

namespace {

const QStringList ComboNames = {u"cmbViewTime"_qs, u"cmbStringLen"_qs, u"cmbViewAnsTime"_qs, u"cmbKigouNum"_qs};
const QStringList Presets[] = {{"10", "7", "5", "3", "2", "1", "0.7", "0.5", "0.3", "0.2", "0.1"},
                               {"3", "4", "5", "6", "7", "8", "9", "10"},
                               {"1", "2", "3"},
                               {"55", "40", "30", "20", "10", "5"}};

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

QComboBox *combo(const QWidget &dialog, const QString &name)
{
    return dialog.findChild<QComboBox *>(name);
}

void type(QComboBox *box, const QString &text)
{
    box->lineEdit()->selectAll();
    QTest::keyClick(box->lineEdit(), Qt::Key_Delete);
    QTest::keyClicks(box->lineEdit(), text);
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

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void settingsOpenWithCurrentValues_data();
    void settingsOpenWithCurrentValues();
    void settingsConfirmBoundedValues_data();
    void settingsConfirmBoundedValues();
    void settingsLeaveWithoutChangesAndIgnoreEsc_data();
    void settingsLeaveWithoutChangesAndIgnoreEsc();
    void settingsReportAFailedSave_data();
    void settingsReportAFailedSave();
    void aboutShowsTitleAndVersionAtItsPlace();
    void aboutCloses_data();
    void aboutCloses();

private:
    std::optional<QTemporaryDir> m_dir;
    mdlUser::SettingsFiles m_files;
};

void TestDialogs::init()
{
    Opt = OptData{};
    m_dir.emplace();
    m_files = {m_dir->filePath(u"qelo.ini"_qs), m_dir->filePath(u"user/qelo.ini"_qs)};
}

void TestDialogs::settingsOpenWithCurrentValues_data()
{
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<QList<int>>("indices");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("defaults") << QList<double>{3, 5, 3, 50} << QList<int>{3, 2, 2, -1} << QStringList{"3", "5", "3", "50"};
    QTest::newRow("last items") << QList<double>{0.1, 10, 3, 5} << QList<int>{10, 7, 2, 5}
                                << QStringList{"0.1", "10", "3", "5"};
    QTest::newRow("0.7 and off the lists") << QList<double>{0.7, 12, 0.5, 25} << QList<int>{6, -1, -1, -1}
                                           << QStringList{"0.7", "12", "0.5", "25"};
    // Exact equality: the double next to 0.7 is not the preset, although its text reads 0.7.
    QTest::newRow("next to 0.7") << QList<double>{std::nextafter(0.7, 1.0), 5, 3, 50} << QList<int>{-1, 2, 2, -1}
                                 << QStringList{"0.7", "5", "3", "50"};
}

void TestDialogs::settingsOpenWithCurrentValues()
{
    QFETCH(QList<double>, values);
    QFETCH(QList<int>, indices);
    QFETCH(QStringList, texts);
    Opt = {values[0], qint16(values[1]), values[2], qint16(values[3])};

    frmOpt dialog;
    dialog.setSettingsFiles(m_files);
    QCOMPARE(dialog.size(), QSize(334, 190));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QList<double> shown;
    for (int i = 0; i < 4; ++i) {
        const QComboBox *box = combo(dialog, ComboNames[i]);
        QCOMPARE(box->count(), Presets[i].size());
        for (int item = 0; item < box->count(); ++item)
            QCOMPARE(box->itemText(item), Presets[i][item]);
        QCOMPARE(box->currentIndex(), indices[i]);
        QCOMPARE(box->currentText(), texts[i]);
        shown << texts[i].toDouble();
    }
    // Confirmed at once: what is shown is stored and written.
    QVERIFY(!messageDuring([&] { dialog.cmdOk_Click(); }));
    QCOMPARE(fields(Opt), shown);
    QCOMPARE(readAll(m_files.besideProgram), recordBytes(shown));
}

void TestDialogs::settingsConfirmBoundedValues_data()
{
    QTest::addColumn<QString>("comboName");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<double>("stored");

    const auto rows = [](const QString &name, std::initializer_list<std::pair<const char *, double>> cases) {
        for (const auto &[typed, stored] : cases)
            QTest::addRow("%s '%s'", qPrintable(name), typed) << name << QString::fromUtf8(typed) << stored;
    };
    rows(ComboNames[0], {{"0.05", 0.1}, {"12.5", 10}, {"0.70", 0.7}, {"abc", 0.1}});
    rows(ComboNames[1], {{"0", 1}, {"25", 20}, {"19.5", 20}, {"2.5", 2}, {"99999", 20}});
    rows(ComboNames[2], {{"0", 0.1}, {"7.25", 7.25}});
    rows(ComboNames[3], {{"1", 3}, {"56", 55}, {"54.5", 54}, {"4", 4}});
}

void TestDialogs::settingsConfirmBoundedValues()
{
    QFETCH(QString, comboName);
    QFETCH(QString, typed);
    QFETCH(double, stored);
    const int which = ComboNames.indexOf(comboName);
    QList<double> expected = fields(OptData{});
    expected[which] = stored;
    {
        frmOpt dialog;
        dialog.setSettingsFiles(m_files);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        combo(dialog, comboName)->setFocus();
        type(combo(dialog, comboName), typed);
        // Enter presses 変更; nothing completes the typed text ("4" must not become "40").
        QVERIFY(!messageDuring([&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }));
        QVERIFY(dialog.isHidden());
    }
    QCOMPARE(fields(Opt), expected);
    QCOMPARE(readAll(m_files.besideProgram), recordBytes(expected));
    // The next opening shows the stored value.
    frmOpt next;
    QCOMPARE(combo(next, comboName)->currentText(), QString::number(stored));
}

void TestDialogs::settingsLeaveWithoutChangesAndIgnoreEsc_data()
{
    QTest::addColumn<QString>("how");
    for (const char *how : {"cmdCancel", "close box"})
        QTest::newRow(how) << QString::fromLatin1(how);
}

void TestDialogs::settingsLeaveWithoutChangesAndIgnoreEsc()
{
    QFETCH(QString, how);
    frmOpt dialog;
    dialog.setSettingsFiles(m_files);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    for (const QString &name : ComboNames)
        type(combo(dialog, name), u"7"_qs);
    // キャンセル has no keyboard role: Esc leaves the dialog open.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
    if (how == u"cmdCancel")
        QTest::mouseClick(dialog.findChild<QPushButton *>(u"cmdCancel"_qs), Qt::LeftButton);
    else
        dialog.close();
    QVERIFY(dialog.isHidden());
    QCOMPARE(Opt, OptData{});
    QVERIFY(!QFile::exists(m_files.besideProgram));
}

void TestDialogs::settingsReportAFailedSave_data()
{
    QTest::addColumn<QString>("blocked");
    QTest::newRow("folder named qelo.ini") << u"qelo.ini"_qs;
    QTest::newRow("neither folder takes a file") << u"both"_qs;
}

void TestDialogs::settingsReportAFailedSave()
{
    QFETCH(QString, blocked);
    QString named = m_files.besideProgram;
    QVERIFY(QDir(m_dir->path()).mkdir(u"qelo.ini"_qs));
    if (blocked == u"both") {
        // Paths running through a plain file can hold nothing, root included.
        m_files = {m_dir->filePath(u"plain/qelo.ini"_qs), m_dir->filePath(u"plain/user/qelo.ini"_qs)};
        QFile plain(m_dir->filePath(u"plain"_qs));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        named = m_files.perUser;
    }
    frmOpt dialog;
    dialog.setSettingsFiles(m_files);
    type(combo(dialog, ComboNames[3]), u"20"_qs);
    const std::optional<QString> message = messageDuring([&] { dialog.cmdOk_Click(); });

    // Not passed off as success: the player is told which file; the values still apply for this run.
    QVERIFY(message);
    QVERIFY2(message->contains(QDir::toNativeSeparators(named)), qPrintable(*message));
    QVERIFY(dialog.isHidden());
    QCOMPARE(Opt.KigouNum, qint16(20));
    QVERIFY(QFileInfo(m_dir->filePath(u"qelo.ini"_qs)).isDir());
}

void TestDialogs::aboutShowsTitleAndVersionAtItsPlace()
{
    QWidget owner;
    owner.resize(640, 480);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    frmAbout dialog(&owner);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QCOMPARE(dialog.windowTitle(), u"qeloのﾊﾞｰｼﾞｮﾝ情報"_qs);
    QCOMPARE(dialog.findChild<QLabel *>(u"lblTitle"_qs)->text(), u"qelo"_qs);
    QCOMPARE(dialog.findChild<QLabel *>(u"lblVersion"_qs)->text(),
             u"ﾊﾞｰｼﾞｮﾝ %1.%2.%3"_qs.arg(QELO_VERSION_MAJOR).arg(QELO_VERSION_MINOR).arg(QELO_VERSION_PATCH));
    QCOMPARE(frmAbout::versionLine(2, 10, 3), u"ﾊﾞｰｼﾞｮﾝ 2.10.3"_qs);
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    // The client area's top-left corner 2340 and 1935 twips from the screen's, not centred on the owner.
    QCOMPARE(dialog.mapToGlobal(QPoint(0, 0)), owner.screen()->geometry().topLeft() + QPoint(156, 129));

    // The etched separator: grey on the row of 2445 twips, then two white rows.
    const QImage image = dialog.grab().toImage();
    const int row = Twips::toPixels(2445);
    const QList<QColor> column = {image.pixelColor(190, row), image.pixelColor(190, row + 1),
                                  image.pixelColor(190, row + 2)};
    QCOMPARE(column, (QList<QColor>{QColor(0x80, 0x80, 0x80), Qt::white, Qt::white}));
}

void TestDialogs::aboutCloses_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
    QTest::newRow("click OK") << 0;
}

void TestDialogs::aboutCloses()
{
    QFETCH(int, key);
    frmAbout dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    if (key)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
    else
        QTest::mouseClick(dialog.findChild<QPushButton *>(u"cmdOK"_qs), Qt::LeftButton);
    QVERIFY(dialog.isHidden());
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
