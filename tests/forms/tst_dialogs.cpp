// Checks the settings and About dialogs through their real widgets: filling, bounding, saving, closing.
#include "forms/about/frmAbout.h"
#include "forms/settings/frmOpt.h"
#include "version.h"

#include <QApplication>
#include <QComboBox>
#include <QDataStream>
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

using namespace Qt::StringLiterals;
using mdlUser::Opt;

namespace {

const QStringList ComboNames = {u"cmbViewTime"_s, u"cmbStringLen"_s, u"cmbViewAnsTime"_s, u"cmbKigouNum"_s};

QList<double> fields(const OptData &opt)
{
    return {opt.ViewTime, double(opt.StringLen), opt.ViewAnsTime, double(opt.KigouNum)};
}

QComboBox *combo(const QWidget &dialog, int field)
{
    return dialog.findChild<QComboBox *>(ComboNames[field]);
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

    // Opens the settings dialog, checks what each field shows and types the given texts into them.
    void openAndType(frmOpt &dialog, const QList<int> &selected, const QStringList &typed)
    {
        dialog.setSettingsFiles(m_files);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(combo(dialog, i)->count(), (QList<int>{11, 8, 3, 6}[i]));
            QCOMPARE(combo(dialog, i)->currentIndex(), selected[i]);
            QCOMPARE(combo(dialog, i)->currentText(), QString::number(fields(Opt)[i]));
            // Typed into the focused field, where a completer would act: "1" must stay "1", not become "10".
            combo(dialog, i)->setFocus();
            combo(dialog, i)->lineEdit()->selectAll();
            QTest::keyClick(combo(dialog, i)->lineEdit(), Qt::Key_Delete);
            QTest::keyClicks(combo(dialog, i)->lineEdit(), typed[i]);
            QCOMPARE(combo(dialog, i)->currentText(), typed[i]);
        }
    }

private slots:
    void init()
    {
        Opt = OptData{};
        m_dir.emplace();
        m_files = {m_dir->filePath(u"qelo.ini"_s), m_dir->filePath(u"user/qelo.ini"_s)};
    }

    void settingsLeaveWithoutChanges()
    {
        for (bool byCloseBox : {false, true}) {
            frmOpt dialog;
            // The defaults: 50 is no preset of its list, so it shows as text with nothing selected.
            openAndType(dialog, {3, 2, 2, -1}, {"9", "9", "9", "9"});
            QCOMPARE(dialog.size(), QSize(334, 190));
            QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
            // キャンセル has no keyboard role: Esc leaves the dialog open.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QVERIFY(dialog.isVisible());
            if (byCloseBox)
                dialog.close();
            else
                QTest::mouseClick(dialog.findChild<QPushButton *>(u"cmdCancel"_s), Qt::LeftButton);
            QVERIFY(dialog.isHidden());
        }
        QCOMPARE(Opt, OptData{});
        QVERIFY(!QFile::exists(m_files.besideProgram));
    }

    void settingsConfirmBoundedValuesShownNextTime_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QList<double>>("stored");
        QTest::addColumn<QList<int>>("selectedNextTime");
        QTest::newRow("below") << QStringList{"0.05", "0", "0", "1"} << QList<double>{0.1, 1, 0.1, 3}
                               << QList<int>{10, -1, -1, -1};
        QTest::newRow("above") << QStringList{"12.5", "25", "11", "56"} << QList<double>{10, 20, 10, 55}
                               << QList<int>{0, -1, -1, 0};
        // Counts round halves to even.
        QTest::newRow("halves") << QStringList{"0.70", "19.5", "2", "54.5"} << QList<double>{0.7, 20, 2, 54}
                                << QList<int>{6, -1, 1, -1};
        // "4" stays "4", not the preset "40".
        QTest::newRow("text and units") << QStringList{"abc", "2.5", "7.25s", "4"} << QList<double>{0.1, 2, 7.25, 4}
                                        << QList<int>{10, -1, -1, -1};
        QTest::newRow("beyond 16 bits") << QStringList{"4.5", "99999", "3", "-99999"} << QList<double>{4.5, 20, 3, 3}
                                        << QList<int>{-1, -1, 2, -1};
    }
    void settingsConfirmBoundedValuesShownNextTime()
    {
        QFETCH(QStringList, typed);
        QFETCH(QList<double>, stored);
        QFETCH(QList<int>, selectedNextTime);
        {
            frmOpt dialog;
            openAndType(dialog, {3, 2, 2, -1}, typed);
            // Enter presses 変更.
            QVERIFY(!messageDuring([&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }));
            QVERIFY(dialog.isHidden());
        }
        QCOMPARE(fields(Opt), stored);
        // The file's 20 bytes, encoded here independently of the program.
        QByteArray bytes;
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream.setByteOrder(QDataStream::LittleEndian);
        stream << stored[0] << qint16(stored[1]) << stored[2] << qint16(stored[3]);
        QFile file(m_files.besideProgram);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes);
        frmOpt next;
        openAndType(next, selectedNextTime, typed);
    }

    void settingsReportAFailedSave()
    {
        // Neither folder can take a file, root included: both paths run through a plain file.
        QFile plain(m_dir->filePath(u"plain"_s));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        m_files = {m_dir->filePath(u"plain/qelo.ini"_s), m_dir->filePath(u"plain/user/qelo.ini"_s)};
        frmOpt dialog;
        openAndType(dialog, {3, 2, 2, -1}, {"3", "5", "3", "20"});
        const std::optional<QString> message = messageDuring([&] { dialog.cmdOk_Click(); });
        // Not passed off as success: the player is told the file last tried; the values apply for this run.
        QVERIFY(message);
        QVERIFY2(message->contains(QDir::toNativeSeparators(m_files.perUser)), qPrintable(*message));
        QVERIFY(dialog.isHidden());
        QCOMPARE(Opt.KigouNum, qint16(20));
    }

    void aboutShowsTitleAndVersionAtItsPlaceAndCloses()
    {
        QWidget owner;
        owner.resize(640, 480);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        for (int key : {int(Qt::Key_Return), int(Qt::Key_Escape), 0}) {
            frmAbout dialog(&owner);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            QCOMPARE(dialog.windowTitle(), u"qeloのﾊﾞｰｼﾞｮﾝ情報"_s);
            QCOMPARE(dialog.findChild<QLabel *>(u"lblTitle"_s)->text(), u"qelo"_s);
            QCOMPARE(dialog.findChild<QLabel *>(u"lblVersion"_s)->text(),
                     u"ﾊﾞｰｼﾞｮﾝ %1.%2.%3"_s.arg(QELO_VERSION_MAJOR).arg(QELO_VERSION_MINOR).arg(QELO_VERSION_PATCH));
            QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
            // The client area's top-left corner 2340 and 1935 twips from the screen's, not centred on the owner.
            QCOMPARE(dialog.mapToGlobal(QPoint(0, 0)), owner.screen()->geometry().topLeft() + QPoint(156, 129));
            if (key)
                QTest::keyClick(&dialog, Qt::Key(key));
            else
                QTest::mouseClick(dialog.findChild<QPushButton *>(u"cmdOK"_s), Qt::LeftButton);
            QVERIFY(dialog.isHidden());
        }
        QCOMPARE(frmAbout::versionLine(2, 10, 3), u"ﾊﾞｰｼﾞｮﾝ 2.10.3"_s);
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
