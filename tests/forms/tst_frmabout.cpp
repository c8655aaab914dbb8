// Checks the About dialog: its caption, version line, design position, separator and closing keys.
#include "forms/about/frmAbout.h"
#include "platform/Twips.h"
#include "version.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

class tst_frmAbout : public QObject
{
    Q_OBJECT

private slots:
    void versionLine_data();
    void versionLine();
    void loadShowsCaptionTitleAndVersion();
    void opensAtItsDesignPosition();
    void etchedSeparator_data();
    void etchedSeparator();
    void closes_data();
    void closes();
};

void tst_frmAbout::versionLine_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("revision");
    QTest::addColumn<QString>("line");

    QTest::newRow("1.0.0") << 1 << 0 << 0 << "ﾊﾞｰｼﾞｮﾝ 1.0.0";
    QTest::newRow("2.10.3") << 2 << 10 << 3 << "ﾊﾞｰｼﾞｮﾝ 2.10.3";
}

void tst_frmAbout::versionLine()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, revision);
    QFETCH(QString, line);

    QCOMPARE(frmAbout::versionLine(major, minor, revision), line);
}

void tst_frmAbout::loadShowsCaptionTitleAndVersion()
{
    QCOMPARE(frmAbout::captionFor(QStringLiteral("My App")), QStringLiteral("My Appのﾊﾞｰｼﾞｮﾝ情報"));

    frmAbout dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("qeloのﾊﾞｰｼﾞｮﾝ情報"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("lblTitle"))->text(), QStringLiteral("qelo"));
    // The build's version numbers, from project(qelo VERSION ...).
    const QString version = QStringLiteral("ﾊﾞｰｼﾞｮﾝ %1.%2.%3").arg(QELO_VERSION_MAJOR).arg(QELO_VERSION_MINOR);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("lblVersion"))->text(), version.arg(QELO_VERSION_PATCH));
}

void tst_frmAbout::opensAtItsDesignPosition()
{
    QWidget owner;
    owner.resize(640, 480);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));

    frmAbout dialog(&owner);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // The client area's top-left corner, 2340 and 1935 twips from the screen's; not centred on the owner.
    QCOMPARE(dialog.mapToGlobal(QPoint(0, 0)), owner.screen()->geometry().topLeft() + QPoint(156, 129));
}

void tst_frmAbout::etchedSeparator_data()
{
    QTest::addColumn<int>("x");

    // From the white line's left end (105 twips) to the common right end (5654 twips).
    for (int x : {Twips::toPixels(105), 190, Twips::toPixels(5654)})
        QTest::addRow("x=%d", x) << x;
}

void tst_frmAbout::etchedSeparator()
{
    QFETCH(int, x);

    frmAbout dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QImage image = dialog.grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    auto at = [&](int px, int py) { return QColor(image.pixel(int(px * ratio), int(py * ratio))).rgb(); };

    // Grey 0x808080 on the row of 2445 twips; white 0xFFFFFF, two pixels, one pixel lower.
    const QRgb grey = qRgb(0x80, 0x80, 0x80);
    const QRgb white = qRgb(0xFF, 0xFF, 0xFF);
    const QRgb background = dialog.palette().color(QPalette::Window).rgb();
    const int row = Twips::toPixels(2445);
    QCOMPARE(at(x, row - 1), background);
    QCOMPARE(at(x, row), grey);
    QCOMPARE(at(x, row + 1), white);
    QCOMPARE(at(x, row + 2), white);
    QCOMPARE(at(x, row + 3), background);
    // The grey line starts one pixel left of the white one (90 and 105 twips).
    QCOMPARE(at(Twips::toPixels(90), row), grey);
    QCOMPARE(at(Twips::toPixels(90), row + 1), background);
}

void tst_frmAbout::closes_data()
{
    QTest::addColumn<QString>("how");

    for (const char *how : {"Enter", "Esc", "click OK"})
        QTest::newRow(how) << QString::fromLatin1(how);
}

void tst_frmAbout::closes()
{
    QFETCH(QString, how);

    frmAbout dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    // Keys go to the focus widget, as the player's would.
    if (how == u"Enter")
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    else if (how == u"Esc")
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    else
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
    QVERIFY(dialog.isHidden());
}

QTEST_MAIN(tst_frmAbout)
#include "tst_frmabout.moc"
