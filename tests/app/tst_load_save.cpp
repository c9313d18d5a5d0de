// LOAD and SAVE in the window: titles, lengths, the dialog's answers, and files that are
// rejected or cannot be written.
#include "app_rig.h"
#include "hex_grid_view.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace brindle::app;
using brindle::image::rowOf;
using brindle::image::columnOf;

class TestLoadSave : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(dir_.isValid()); }
    void loadSetsTitleAndLength_data();
    void loadSetsTitleAndLength();
    void cancelledLoadChangesNothing();
    void rejectedFileChangesNothing();
    void unfilledLoadKeepsEarlierBytes();
    void reloadSkipsTheDialog();
    void saveWritesTheWholeImage();
    void saveRefusesAMalformedCell();
    void saveFailureChangesNothing();

private:
    QString path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir_;
};

void TestLoadSave::loadSetsTitleAndLength_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("loadedEnd");
    QTest::addColumn<int>("programLength");
    QTest::addColumn<QString>("titleEnd");
    QTest::newRow("end record only") << kEndRecord << 0 << 0 << " -  0 Bytes (0H)";
    QTest::newRow("one byte") << hexRecord(0, "\x12") + kEndRecord << 1 << 32 << " -  1 Bytes (20H)";
    QTest::newRow("32 bytes") << hexRecord(0, QByteArray(16, 1)) + hexRecord(16, QByteArray(16, 2)) + kEndRecord
                              << 32 << 32 << " -  32 Bytes (20H)";
    QTest::newRow("33 bytes") << hexRecord(0, QByteArray(32, 1)) + hexRecord(32, "\x03") << 33 << 64
                              << " -  33 Bytes (40H)";
    QTest::newRow("up to 1234") << hexRecord(0x4D1, "\x55") + kEndRecord << 1234 << 1248
                                << " -  1234 Bytes (4E0H)";
    QTest::newRow("last address") << hexRecord(0xFFFF, QByteArray(1, 0)) + kEndRecord << 65536 << 65536
                                  << " -  65536 Bytes (10000H)";
}

void TestLoadSave::loadSetsTitleAndLength()
{
    QFETCH(QByteArray, file);
    QFETCH(int, loadedEnd);
    QFETCH(int, programLength);
    QFETCH(QString, titleEnd);
    WindowRig rig;
    const QString p = path("demo.hex");
    QVERIFY(writeFile(p, file));
    rig.op.files.push_back(p);
    rig.form->Load_Click();
    QCOMPARE(rig.form->loadedEnd, loadedEnd);
    QCOMPARE(rig.form->programLength, programLength);
    QCOMPARE(rig.form->windowTitle(), QDir::toNativeSeparators(p) + titleEnd);
    QVERIFY(rig.form->loadAccepted);
    QCOMPARE(rig.form->hexFileName, p);
    QCOMPARE(rig.op.beeps, 1);
    QVERIFY(rig.op.boxes.empty());
    QVERIFY(!rig.form->MSFG->isHidden());
    if (loadedEnd == 1234)
        QCOMPARE(rig.form->grid.text(rowOf(0x4D1), columnOf(0x4D1)), std::string("55"));
}

void TestLoadSave::cancelledLoadChangesNothing()
{
    WindowRig rig;
    Form1& f = *rig.form;
    const QString p = path("a.hex");
    QVERIFY(writeFile(p, hexRecord(0, QByteArray(40, 7)) + kEndRecord));
    rig.op.files.push_back(p);
    f.Load_Click();
    const QString title = f.windowTitle();
    f.Load_Click(); // the queue is empty: cancelled
    QVERIFY(!f.loadAccepted);
    QCOMPARE(f.loadedEnd, 0);
    QCOMPARE(f.programLength, 64);
    QCOMPARE(f.hexFileName, p);
    QCOMPARE(f.windowTitle(), title);
    QCOMPARE(rig.op.beeps, 1);
    QVERIFY(!f.MSFG->isHidden());
}

void TestLoadSave::rejectedFileChangesNothing()
{
    WindowRig rig;
    Form1& f = *rig.form;
    const QString good = path("good.hex");
    QVERIFY(writeFile(good, hexRecord(0, "\x11\x22") + kEndRecord));
    rig.op.files.push_back(good);
    f.Load_Click();
    const QString title = f.windowTitle();

    QByteArray broken = hexRecord(0x100, "\x33");
    broken += ":0102000044FF\r\n"; // wrong checksum on line 2
    const QString bad = path("broken.hex");
    QVERIFY(writeFile(bad, broken));
    rig.op.files.push_back(bad);
    f.Load_Click();
    QCOMPARE(rig.op.boxes.size(), std::size_t(1));
    QVERIFY(rig.op.boxes[0].text.contains(QStringLiteral("broken.hex")));
    QVERIFY(rig.op.boxes[0].text.contains(QStringLiteral("line 2")));
    QCOMPARE(rig.op.boxes[0].icon, brindle::link::Icon::Exclamation);
    QVERIFY(!f.loadAccepted);
    QCOMPARE(f.windowTitle(), title);
    QCOMPARE(f.programLength, 32);
    QCOMPARE(f.codeBuffer[0x100], std::uint8_t(0xFF));
    QCOMPARE(f.codeBuffer[1], std::uint8_t(0x22));
    QCOMPARE(f.grid.text(rowOf(0x100), columnOf(0x100)), std::string("FF"));
    QCOMPARE(f.grid.text(1, 2), std::string("22"));
    QVERIFY(!f.MSFG->isHidden());
    QCOMPARE(rig.op.beeps, 1);
}

void TestLoadSave::unfilledLoadKeepsEarlierBytes()
{
    WindowRig rig;
    Form1& f = *rig.form;
    const QString first = path("first.hex"), second = path("second.hex");
    QVERIFY(writeFile(first, hexRecord(0x10, "\xAB") + kEndRecord));
    QVERIFY(writeFile(second, hexRecord(0x20, "\xCD") + kEndRecord));
    rig.op.files = {first, second};
    f.Load_Click();
    f.Fillchk->setChecked(false);
    f.Load_Click();
    QCOMPARE(f.grid.text(rowOf(0x10), columnOf(0x10)), std::string("AB"));
    QCOMPARE(f.grid.text(rowOf(0x20), columnOf(0x20)), std::string("CD"));
    QCOMPARE(f.loadedEnd, 0x21);
    f.Fillchk->setChecked(true);
    rig.op.files = {second};
    f.Load_Click();
    QCOMPARE(f.grid.text(rowOf(0x10), columnOf(0x10)), std::string("FF"));
}

void TestLoadSave::reloadSkipsTheDialog()
{
    WindowRig rig;
    Form1& f = *rig.form;
    const QString p = path("again.hex");
    QVERIFY(writeFile(p, hexRecord(0, "\x01") + kEndRecord));
    f.hexFileName = p;
    f.autoReload = true;
    f.loadAccepted = false;
    f.Load_Click();
    QVERIFY(rig.op.dialogs.empty());
    QVERIFY(!f.loadAccepted); // left as it was
    QCOMPARE(f.grid.text(1, 1), std::string("01"));
}

void TestLoadSave::saveWritesTheWholeImage()
{
    WindowRig rig;
    const QString p = path("out.hex");
    rig.op.files.push_back(p);
    rig.form->Save_Click();
    QCOMPARE(rig.op.dialogs.back(), Operator::FileMode::Save);
    QCOMPARE(QFileInfo(p).size(), qint64(184335)); // no chip identified: 64 KB
    QCOMPARE(rig.form->windowTitle(), QDir::toNativeSeparators(p));
    QCOMPARE(rig.op.beeps, 1);

    rig.form->Reset_Click(); // the fake chip is 1 KB
    rig.op.files.push_back(p);
    rig.form->Save_Click();
    QCOMPARE(QFileInfo(p).size(), qint64(2895));
}

void TestLoadSave::saveRefusesAMalformedCell()
{
    WindowRig rig;
    const QString p = path("bad.hex");
    rig.form->grid.setText(rowOf(0x1234), columnOf(0x1234), "F");
    rig.op.files.push_back(p);
    rig.form->Save_Click();
    QVERIFY(!QFileInfo::exists(p));
    QCOMPARE(rig.op.boxes.size(), std::size_t(1));
    QVERIFY(rig.op.boxes[0].text.contains(QStringLiteral("1234")));
    QCOMPARE(rig.op.beeps, 0);
}

void TestLoadSave::saveFailureChangesNothing()
{
    WindowRig rig;
    const QString title = rig.form->windowTitle();
    const QString p = path("missing/out.hex");
    rig.op.files.push_back(p);
    rig.form->Save_Click();
    QCOMPARE(rig.op.boxes.size(), std::size_t(1));
    QVERIFY(rig.op.boxes[0].text.contains(QDir::toNativeSeparators(p)));
    QCOMPARE(rig.form->windowTitle(), title);
    QCOMPARE(rig.op.beeps, 0);
    QVERIFY(!QFileInfo::exists(p));

    rig.op.files.push_back(QString()); // an empty path: beep only
    rig.form->Save_Click();
    QCOMPARE(rig.op.beeps, 1);
    QCOMPARE(rig.op.boxes.size(), std::size_t(1));
}

QTEST_MAIN(TestLoadSave)
#include "tst_load_save.moc"
