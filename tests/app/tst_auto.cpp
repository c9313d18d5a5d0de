// AUTO against a fake board: which steps reach the wire, in which order, and when none
// may; and the window while the board works.
#include "app_rig.h"
#include "hex_grid_view.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace brindle::app;

class TestAuto : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(dir_.isValid()); }
    void stepsRunInOrder_data();
    void stepsRunInOrder();
    void cancelledDialogRunsNoStep();
    void deletedFileProgramsNothing();
    void verifyHighlightsDifferences();
    void inputIsDroppedWhileBusy();

private:
    QString demoFile()
    {
        const QString p = dir_.filePath(QStringLiteral("demo.hex"));
        writeFile(p, hexRecord(0, "\x12\x34") + kEndRecord);
        return p;
    }
    QTemporaryDir dir_;
};

void TestAuto::stepsRunInOrder_data()
{
    QTest::addColumn<bool>("everyStep");
    QTest::addColumn<std::string>("wire");
    // Each step identifies the chip first; the 1-byte image is shorter than the chip: "Z".
    QTest::newRow("start-up defaults") << false << std::string("ISIWZ");
    QTest::newRow("every step") << true << std::string("ISINIWZIRTIABC");
}

void TestAuto::stepsRunInOrder()
{
    QFETCH(bool, everyStep);
    QFETCH(std::string, wire);
    WindowRig rig;
    Form1& f = *rig.form;
    rig.op.files.push_back(demoFile());
    f.Load_Click();
    f.Fillchk->setChecked(false);
    if (everyStep)
        for (QCheckBox* box : {f.Blank_chk, f.Verify_chk, f.Lockchk, f.Lb1chk, f.Lb2chk, f.Lb3chk})
            box->setChecked(true);
    f.auto_Click();
    QCOMPARE(rig.port.transcript(), wire);
    QCOMPARE(rig.op.dialogs.size(), std::size_t(1)); // the reload asked nothing
    QVERIFY(f.Fillchk->isChecked());
    QVERIFY(!f.autoReload);
    QVERIFY(f.Label4->text() == QStringLiteral("Write OK !") || everyStep);
}

void TestAuto::cancelledDialogRunsNoStep()
{
    WindowRig rig;
    rig.form->auto_Click(); // no file yet, the dialog is cancelled
    QCOMPARE(rig.op.dialogs.size(), std::size_t(1));
    QVERIFY(rig.port.commands.empty());
    QVERIFY(!rig.form->loadAccepted);
    QVERIFY(rig.form->Fillchk->isChecked());
}

void TestAuto::deletedFileProgramsNothing()
{
    WindowRig rig;
    const QString p = demoFile();
    rig.op.files.push_back(p);
    rig.form->Load_Click();
    QVERIFY(QFile::remove(p));
    rig.form->auto_Click();
    QVERIFY(rig.port.commands.empty());
    QCOMPARE(rig.op.boxes.size(), std::size_t(1));
    QVERIFY(!rig.form->loadAccepted);
}

void TestAuto::verifyHighlightsDifferences()
{
    WindowRig rig;
    Form1& f = *rig.form;
    rig.op.files.push_back(demoFile());
    f.Load_Click();
    f.Verify_Click(); // the fake chip reads FF everywhere
    QCOMPARE(f.Label4->text(), QStringLiteral("Verify Error !"));
    QVERIFY(f.MSFG->cells().isMarked(1, 1));
    QVERIFY(f.MSFG->cells().isMarked(1, 2));
    QVERIFY(!f.MSFG->cells().isMarked(1, 3));
    f.autoReload = true;
    f.Load_Click();
    QVERIFY(!f.MSFG->cells().isMarked(1, 1));
}

void TestAuto::inputIsDroppedWhileBusy()
{
    WindowRig rig;
    Form1& f = *rig.form;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    bool closed = true;
    bool busy = false;
    bool progressShown = false;
    rig.port.onCommand = [&] {
        if (rig.port.commands.back() != "T" || rig.port.commands.size() != 4)
            return;
        busy = f.isBusy();
        progressShown = !f.progressBar->isHidden();
        closed = f.close();
        QTest::mouseClick(f.Erase, Qt::LeftButton);
        QTest::keyClick(f.Reset, Qt::Key_Space);
    };
    f.Read_Click();
    QVERIFY(busy);
    QVERIFY(!closed);
    QCOMPARE(rig.port.commands.front(), std::string("I"));
    QVERIFY(rig.port.transcript() == "IRT"); // no ERASE, no second RESET
    QVERIFY(!f.isBusy());
    QVERIFY(f.isVisible());
    QVERIFY(progressShown); // after the first block of the READ
    QVERIFY(f.progressBar->isHidden());
}

QTEST_MAIN(TestAuto)
#include "tst_auto.moc"
