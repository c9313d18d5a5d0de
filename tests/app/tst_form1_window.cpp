// The window as it starts: controls, their places and states, the log, the title.
#include "app_rig.h"
#include "hex_grid_view.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace brindle::app;

class TestForm1Window : public QObject {
    Q_OBJECT
private slots:
    void startsAsDescribed();
    void geometry_data();
    void geometry();
    void tabOrder();
    void msgoutShiftsLines();
    void deviceButtonsFollowTheIdentification();
    void portButtonsSelectThePort();
};

void TestForm1Window::startsAsDescribed()
{
    WindowRig rig;
    Form1& f = *rig.form;
    QCOMPARE(f.windowTitle(), QStringLiteral("Brindle  ATMEL 8051 Programmer / Simulator   V3.6"));
    QCOMPARE(f.size(), QSize(680, 466));
    QCOMPARE(f.Label1->text(), QStringLiteral("ATMEL 8051 Programmer"));
    QVERIFY(!f.Label2->text().isEmpty());
    QVERIFY(f.Label3->text().startsWith(QStringLiteral("TEL: ")));
    QVERIFY(f.Label4->text().startsWith(QStringLiteral("WEB: ")));
    QCOMPARE(f.logMessage, f.Label4->text());
    QVERIFY(!f.autoReload);
    QVERIFY(!f.loadAccepted);
    QVERIFY(f.hexFileName.isEmpty());
    QCOMPARE(f.deviceSize, 0);
    QCOMPARE(f.programLength, 0);
    QVERIFY(!f.MSFG->isHidden());
    QVERIFY(f.progressBar->isHidden());
    for (int a : {0, 0x1234, 0xFFFF}) {
        QCOMPARE(f.codeBuffer[a], std::uint8_t(0xFF));
        QCOMPARE(f.grid.text(brindle::image::rowOf(a), brindle::image::columnOf(a)), std::string("FF"));
    }
    QCOMPARE(f.grid.firstMalformedCell(4096), -1);
    for (QCheckBox* box : {f.Erase_chk, f.Program_chk, f.autochk, f.Fillchk})
        QCOMPARE(box->checkState(), Qt::Checked);
    for (QCheckBox* box : {f.Blank_chk, f.Verify_chk, f.Lockchk, f.Lb1chk, f.Lb2chk, f.Lb3chk})
        QCOMPARE(box->checkState(), Qt::Unchecked);
    for (QRadioButton* b : f.deviceButtons)
        QVERIFY(!b->isChecked());
    QVERIFY(f.Option1->isChecked());
    QVERIFY(!f.Option2->isChecked());
    QCOMPARE(f.Option1->toolTip(), QStringLiteral("COM1: /dev/ttyUSB0"));
    QVERIFY(f.Option2->toolTip().contains(QStringLiteral("no serial port found")));
    QVERIFY(rig.port.commands.empty());
    // No access keys anywhere.
    for (QAbstractButton* b : f.findChildren<QAbstractButton*>())
        QVERIFY2(!b->text().contains(QLatin1Char('&')), qPrintable(b->objectName()));
}

void TestForm1Window::geometry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QString>("caption");
    QTest::newRow("Reset") << "Reset" << QRect(16, 424, 73, 33) << "RESET";
    QTest::newRow("auto") << "auto" << QRect(512, 424, 153, 33) << "AUTO";
    QTest::newRow("Program") << "Program" << QRect(312, 424, 57, 33) << "WRITE";
    QTest::newRow("Lockchk") << "Lockchk" << QRect(456, 400, 17, 17) << "";
    QTest::newRow("autochk") << "autochk" << QRect(576, 400, 81, 17) << "Re Load";
    QTest::newRow("Frame1") << "Frame1" << QRect(16, 8, 225, 241) << "Device";
    QTest::newRow("Frame2") << "Frame2" << QRect(184, 360, 57, 41) << " 1    2 ";
    QTest::newRow("Option2 in Frame2") << "Option2" << QRect(32, 16, 17, 17) << "";
    QTest::newRow("AT89S8252 in Frame1") << "AT89S8252" << QRect(16, 192, 201, 17)
                                         << "AT89S8252   - 40P  (8KB + 2KB)";
    QTest::newRow("AT89C8051 in Frame1") << "AT89C8051" << QRect(16, 96, 193, 17) << "AT89C51      - 40P  (4KB)";
    QTest::newRow("MSFG") << "MSFG" << QRect(256, 16, 409, 361) << "";
}

void TestForm1Window::geometry()
{
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    QFETCH(QString, caption);
    WindowRig rig;
    auto* w = rig.form->findChild<QWidget*>(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), rect);
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        QCOMPARE(b->text(), caption);
    if (auto* g = qobject_cast<QGroupBox*>(w))
        QCOMPARE(g->title(), caption);
}

void TestForm1Window::tabOrder()
{
    WindowRig rig;
    const QStringList expected = {"Reset", "Load", "Erase", "Blank", "Program", "Verify", "Lock", "auto",
                                  "Read", "Save", "Erase_chk", "Blank_chk", "Program_chk", "Verify_chk",
                                  "AT89C1051", "AT89C2051", "AT89C4051", "AT89C8051", "AT89C8052", "MSFG",
                                  "AT89C55WD", "AT89S8252", "Option1", "Option2", "Lb1chk", "Lb2chk",
                                  "Lb3chk", "Lockchk", "Fillchk", "autochk", "AT89S51", "AT89S52"};
    QWidget* w = rig.form->findChild<QWidget*>(expected.first());
    for (int i = 1; i < expected.size(); ++i) {
        w = w->nextInFocusChain();
        // Children of a focusable control (the grid's viewport and headers) sit between.
        while (w->objectName().isEmpty() || w->focusPolicy() == Qt::NoFocus)
            w = w->nextInFocusChain();
        QCOMPARE(w->objectName(), expected[i]);
    }
}

void TestForm1Window::msgoutShiftsLines()
{
    WindowRig rig;
    Form1& f = *rig.form;
    const QString company = f.Label2->text();
    f.logMessage = QStringLiteral("Erase.");
    f.msgout();
    QCOMPARE(f.Label1->text(), company);
    QCOMPARE(f.Label4->text(), QStringLiteral("Erase."));
    f.msgout(); // the same message twice
    QCOMPARE(f.Label3->text(), QStringLiteral("Erase."));
    QCOMPARE(f.Label4->text(), QStringLiteral("Erase."));
    f.logMessage.clear();
    f.msgout();
    QCOMPARE(f.Label2->text(), QStringLiteral("Erase."));
    QCOMPARE(f.Label3->text(), QStringLiteral("Erase."));
    QCOMPARE(f.Label4->text(), QString());
}

void TestForm1Window::deviceButtonsFollowTheIdentification()
{
    WindowRig rig;
    Form1& f = *rig.form;
    f.Reset_Click();
    QCOMPARE(rig.port.transcript(), std::string("I"));
    QCOMPARE(f.deviceSize, 1024);
    QVERIFY(f.findChild<QRadioButton*>("AT89C1051")->isChecked());
    f.selectDevice(-1); // none found: every button off, even in an exclusive group
    for (QRadioButton* b : f.deviceButtons)
        QVERIFY(!b->isChecked());
    QCOMPARE(rig.op.beeps, 0); // RESET never beeps
}

void TestForm1Window::portButtonsSelectThePort()
{
    WindowRig rig;
    rig.form->Option2->click();
    QCOMPARE(rig.port.selected(), 2);
    QVERIFY(!rig.form->Option1->isChecked());
    rig.form->Option1->click();
    QCOMPARE(rig.port.selected(), 1);
}

QTEST_MAIN(TestForm1Window)
#include "tst_form1_window.moc"
