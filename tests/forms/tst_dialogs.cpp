// Checks the settings and About dialogs through their real widgets: filling, bounding, saving, closing.
#include "forms/about/frmAbout.h"
#include "forms/settings/frmOpt.h"
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

    std::optional<QTemporaryDir> m_dir;
    mdlUser::SettingsFiles m_files;

private slots:
    void init()
    {
        Opt = OptData{};
        m_dir.emplace();
        m_files = {m_dir->filePath(u"qelo.ini"_qs), m_dir->filePath(u"user/qelo.ini"_qs)};
    }

    void settingsConfirmBoundedValuesShownNextTime_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("stored");
        QTest::addColumn<int>("shownItem"); // selected at the next opening, -1 when it shows only text
        const auto rows = [](int field, std::initializer_list<std::tuple<const char *, double, int>> cases) {
            for (const auto &[typed, stored, item] : cases)
                QTest::addRow("%s '%s'", qPrintable(ComboNames[field]), typed) << field << QString::fromUtf8(typed) << stored << item;
        };
        rows(0, {{"0.05", 0.1, 10}, {"12.5", 10, 0}, {"0.70", 0.7, 6}, {"4.5", 4.5, -1}, {"abc", 0.1, 10}});
        rows(1, {{"0", 1, -1}, {"25", 20, -1}, {"19.5", 20, -1}, {"2.5", 2, -1}, {"99999", 20, -1}, {"7", 7, 4}});
        rows(2, {{"0", 0.1, -1}, {"7.25", 7.25, -1}, {"2", 2, 1}});
        rows(3, {{"1", 3, -1}, {"56", 55, 0}, {"54.5", 54, -1}, {"4", 4, -1}});
    }
    void settingsConfirmBoundedValuesShownNextTime()
    {
        QFETCH(int, field);
        QFETCH(QString, typed);
        QFETCH(double, stored);
        QFETCH(int, shownItem);
        QList<double> expected = fields(OptData{});
        expected[field] = stored;
        {
            frmOpt dialog;
            dialog.setSettingsFiles(m_files);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            QComboBox *box = combo(dialog, ComboNames[field]);
            QStringList items;
            for (int item = 0; item < box->count(); ++item)
                items << box->itemText(item);
            QCOMPARE(items, Presets[field]);
            box->setFocus();
            type(box, typed);
            // Enter presses 変更; nothing completes the typed text ("4" must not become "40").
            QVERIFY(!messageDuring([&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }));
            QVERIFY(dialog.isHidden());
        }
        QCOMPARE(fields(Opt), expected);
        QCOMPARE(readAll(m_files.besideProgram), recordBytes(expected));
        frmOpt next;
        QCOMPARE(combo(next, ComboNames[field])->currentText(), QString::number(stored));
        QCOMPARE(combo(next, ComboNames[field])->currentIndex(), shownItem);
    }

    void settingsOpenWithDefaultsAndLeaveWithoutChanges()
    {
        for (bool byCloseBox : {false, true}) {
            frmOpt dialog;
            dialog.setSettingsFiles(m_files);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            QCOMPARE(dialog.size(), QSize(334, 190));
            QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
            // 50 is no preset of its list: it shows as text with nothing selected.
            const QList<int> selected = {3, 2, 2, -1};
            for (int i = 0; i < 4; ++i) {
                QCOMPARE(combo(dialog, ComboNames[i])->currentIndex(), selected[i]);
                QCOMPARE(combo(dialog, ComboNames[i])->currentText(), QString::number(fields(Opt)[i]));
                type(combo(dialog, ComboNames[i]), u"7"_qs);
            }
            // キャンセル has no keyboard role: Esc leaves the dialog open.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QVERIFY(dialog.isVisible());
            if (byCloseBox)
                dialog.close();
            else
                QTest::mouseClick(dialog.findChild<QPushButton *>(u"cmdCancel"_qs), Qt::LeftButton);
            QVERIFY(dialog.isHidden());
        }
        QCOMPARE(Opt, OptData{});
        QVERIFY(!QFile::exists(m_files.besideProgram));
    }

    void settingsReportAFailedSave_data()
    {
        QTest::addColumn<QString>("blocked");
        QTest::newRow("folder named qelo.ini") << u"qelo.ini"_qs;
        QTest::newRow("neither folder takes a file") << u"both"_qs;
    }

    void settingsReportAFailedSave()
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

    void aboutShowsTitleAndVersionAtItsPlace()
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
    }

    void aboutClosesByEnterEscOrOk()
    {
        for (int key : {int(Qt::Key_Return), int(Qt::Key_Escape), 0}) {
            frmAbout dialog;
            dialog.show();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            if (key)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
            else
                QTest::mouseClick(dialog.findChild<QPushButton *>(u"cmdOK"_qs), Qt::LeftButton);
            QVERIFY(dialog.isHidden());
        }
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
