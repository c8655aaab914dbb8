// Checks the About dialog: its caption, version line, design position, separator and closing keys.
#include "forms/about/frmAbout.h"
#include "platform/AppInfo.h"
#include "platform/Convert.h"
#include "platform/FittingLabel.h"
#include "platform/Twips.h"
#include "version.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

class tst_frmAbout : public QObject
{
    Q_OBJECT

private slots:
    void versionLine_data();
    void versionLine();
    void caption_data();
    void caption();
    void loadSetsTitleCaptionAndVersion();
    void reopeningRunsTheLoadStepsAgain();
    void window();
    void opensAtItsDesignPosition();
    void controlsAtDesignPositions_data();
    void controlsAtDesignPositions();
    void textColours();
    void captionsAreWhole();
    void etchedSeparator_data();
    void etchedSeparator();
    void okHasTheFocusAndIsDefault();
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
    QTest::newRow("0.0.0") << 0 << 0 << 0 << "ﾊﾞｰｼﾞｮﾝ 0.0.0";
    QTest::newRow("no leading zeros") << 10 << 1 << 100 << "ﾊﾞｰｼﾞｮﾝ 10.1.100";
    QTest::newRow("16-bit maximum") << 32767 << 32767 << 32767 << "ﾊﾞｰｼﾞｮﾝ 32767.32767.32767";
}

void tst_frmAbout::versionLine()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, revision);
    QFETCH(QString, line);

    QCOMPARE(frmAbout::versionLine(major, minor, revision), line);
}

void tst_frmAbout::caption_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("caption");

    QTest::newRow("qelo") << "qelo" << "qeloのﾊﾞｰｼﾞｮﾝ情報";
    QTest::newRow("with a space") << "My App" << "My Appのﾊﾞｰｼﾞｮﾝ情報";
    QTest::newRow("empty") << "" << "のﾊﾞｰｼﾞｮﾝ情報";
}

void tst_frmAbout::caption()
{
    QFETCH(QString, title);
    QFETCH(QString, caption);

    QCOMPARE(frmAbout::captionFor(title), caption);
}

void tst_frmAbout::loadSetsTitleCaptionAndVersion()
{
    frmAbout dialog;
    QCOMPARE(AppInfo::title(), QStringLiteral("qelo"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("qeloのﾊﾞｰｼﾞｮﾝ情報"));

    const auto *title = dialog.findChild<QLabel *>(QStringLiteral("lblTitle"));
    const auto *version = dialog.findChild<QLabel *>(QStringLiteral("lblVersion"));
    const auto *description = dialog.findChild<QLabel *>(QStringLiteral("lblDescription"));
    QVERIFY(title && version && description);
    QCOMPARE(title->text(), QStringLiteral("qelo"));
    QCOMPARE(description->text(), QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝの説明"));

    // The build's version numbers (project(qelo VERSION ...)); this release is 1.0.0.
    QCOMPARE(AppInfo::versionMajor(), QELO_VERSION_MAJOR);
    QCOMPARE(AppInfo::versionMinor(), QELO_VERSION_MINOR);
    QCOMPARE(AppInfo::versionRevision(), QELO_VERSION_PATCH);
    const QString expected = QStringLiteral("ﾊﾞｰｼﾞｮﾝ %1.%2.%3")
                                 .arg(QELO_VERSION_MAJOR)
                                 .arg(QELO_VERSION_MINOR)
                                 .arg(QELO_VERSION_PATCH);
    QCOMPARE(version->text(), expected);
    QCOMPARE(version->text(),
             frmAbout::versionLine(AppInfo::versionMajor(), AppInfo::versionMinor(), AppInfo::versionRevision()));
}

void tst_frmAbout::reopeningRunsTheLoadStepsAgain()
{
    QStringList first;
    for (int opening = 0; opening < 3; ++opening) {
        frmAbout dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QStringList texts{dialog.windowTitle()};
        for (const char *name : {"lblTitle", "lblVersion", "lblDescription"})
            texts << dialog.findChild<QLabel *>(QLatin1StringView(name))->text();
        if (opening == 0)
            first = texts;
        QCOMPARE(texts, first);
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        QVERIFY(dialog.isHidden());
    }
}

void tst_frmAbout::window()
{
    frmAbout dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("frmAbout"));
    const QSize client(Twips::toPixels(5730), Twips::toPixels(3555));
    QCOMPARE(dialog.minimumSize(), client);
    QCOMPARE(dialog.maximumSize(), client);
    const Qt::WindowFlags flags = dialog.windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(flags & Qt::WindowTitleHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(flags & Qt::WindowContextHelpButtonHint));

    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.size(), client);

    // No control sets a font of its own.
    QVERIFY(!dialog.testAttribute(Qt::WA_SetFont));
    for (const QWidget *child : dialog.findChildren<QWidget *>())
        QVERIFY2(!child->testAttribute(Qt::WA_SetFont), qPrintable(child->objectName()));
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
    const QPoint screenOrigin = owner.screen()->geometry().topLeft();
    QCOMPARE(dialog.geometry().topLeft(), screenOrigin + QPoint(Twips::toPixels(2340), Twips::toPixels(1935)));
    QCOMPARE(dialog.mapToGlobal(QPoint(0, 0)), screenOrigin + QPoint(156, 129));
}

void tst_frmAbout::controlsAtDesignPositions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");

    QTest::newRow("lblTitle") << "lblTitle" << QRect(1050, 240, 3885, 480);
    QTest::newRow("lblVersion") << "lblVersion" << QRect(1050, 780, 3885, 225);
    QTest::newRow("lblDescription") << "lblDescription" << QRect(1050, 1125, 3885, 1170);
    QTest::newRow("cmdOK") << "cmdOK" << QRect(4245, 2625, 1380, 345);
}

void tst_frmAbout::controlsAtDesignPositions()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);

    frmAbout dialog;
    const auto *control = dialog.findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->parentWidget(), &dialog);
    QCOMPARE(control->geometry(), QRect(Twips::toPixels(twips.x()), Twips::toPixels(twips.y()),
                                        Twips::toPixels(twips.width()), Twips::toPixels(twips.height())));
    if (const auto *button = qobject_cast<const QPushButton *>(control))
        QCOMPARE(button->text(), QStringLiteral("OK"));
}

void tst_frmAbout::textColours()
{
    frmAbout dialog;
    for (const char *name : {"lblTitle", "lblDescription"}) {
        const auto *label = dialog.findChild<QLabel *>(QLatin1StringView(name));
        QCOMPARE(label->palette().color(QPalette::WindowText), Convert::fromBgr(0x000000));
    }
}

void tst_frmAbout::captionsAreWhole()
{
    frmAbout dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // A label too big for its box in the platform's default font is drawn whole, shrunk (FittingLabel).
    for (const QLabel *label : dialog.findChildren<QLabel *>()) {
        const QFontMetrics metrics(label->font());
        QVERIFY2(qobject_cast<const FittingLabel *>(label)
                     || metrics.horizontalAdvance(label->text()) <= label->contentsRect().width(),
                 qPrintable(label->objectName()));
    }
    const auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("cmdOK"));
    QVERIFY(QFontMetrics(ok->font()).horizontalAdvance(ok->text()) < ok->width());
}

void tst_frmAbout::etchedSeparator_data()
{
    QTest::addColumn<int>("x");

    for (int x : {Twips::toPixels(105), 20, 190, Twips::toPixels(5654)})
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
    const int grey = Twips::toPixels(2445);
    QCOMPARE(at(x, grey), QColor(0x80, 0x80, 0x80).rgb());
    QCOMPARE(at(x, grey + 1), QColor(0xFF, 0xFF, 0xFF).rgb());
    QCOMPARE(at(x, grey + 2), QColor(0xFF, 0xFF, 0xFF).rgb());
    const QRgb background = dialog.palette().color(QPalette::Window).rgb();
    QCOMPARE(at(x, grey - 1), background);
    QCOMPARE(at(x, grey + 3), background);
    // The grey line starts one pixel left of the white one (90 and 105 twips).
    QCOMPARE(at(Twips::toPixels(90), grey), QColor(0x80, 0x80, 0x80).rgb());
    QCOMPARE(at(Twips::toPixels(90), grey + 1), background);
}

void tst_frmAbout::okHasTheFocusAndIsDefault()
{
    frmAbout dialog;
    const auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("cmdOK"));
    QVERIFY(ok->isDefault());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(QApplication::focusWidget(), ok);
}

void tst_frmAbout::closes_data()
{
    QTest::addColumn<QString>("how");

    QTest::newRow("Enter") << "Enter";
    QTest::newRow("keypad Enter") << "keypad Enter";
    QTest::newRow("Esc") << "Esc";
    QTest::newRow("click OK") << "click OK";
    QTest::newRow("close box") << "close box";
}

void tst_frmAbout::closes()
{
    QFETCH(QString, how);

    QWidget owner;
    frmAbout dialog(&owner);
    QTimer::singleShot(0, &dialog, [&] {
        if (!QTest::qWaitForWindowActive(&dialog))
            return;
        // Keys go to the focus widget, as the player's would.
        QWidget *focus = QApplication::focusWidget();
        if (how == u"Enter")
            QTest::keyClick(focus, Qt::Key_Return);
        else if (how == u"keypad Enter")
            QTest::keyClick(focus, Qt::Key_Enter, Qt::KeypadModifier);
        else if (how == u"Esc")
            QTest::keyClick(focus, Qt::Key_Escape);
        else if (how == u"click OK")
            QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        else
            dialog.close();
    });
    QTimer::singleShot(5000, &dialog, [&] { dialog.done(-1); });
    const int result = dialog.exec();
    QVERIFY2(result != -1, "the dialog did not close");
    QVERIFY(dialog.isHidden());
}

QTEST_MAIN(tst_frmAbout)
#include "tst_frmabout.moc"
