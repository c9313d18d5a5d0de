// The window as it starts, its command line, the serial port dialog, and LOAD and SAVE: titles,
// lengths, boxes and beeps, and files that are rejected or cannot be written.
#include "app_icon.h"
#include "app_rig.h"
#include "command_line.h"
#include "qt_operator.h"

using namespace brindle::app;
using brindle::image::rowOf;
using brindle::image::columnOf;

namespace {
const QByteArray kEndRecord = ":00000001FF\r\n";

// What a command line set, away from the defaults.
QString changes(const CommandLine& c)
{
    QStringList set;
    if (c.simulate)
        set << "simulate=" + c.simulatedChip;
    if (!c.pacing)
        set << "no-pace";
    for (int i = 0; i < 2; ++i)
        if (!c.comOverrides[i].isEmpty())
            set << QString("com%1=%2").arg(i + 1).arg(c.comOverrides[i]);
    if (c.showHelp)
        set << "help";
    if (c.replyTimeoutScale != 1.0)
        set << "scale=" + QString::number(c.replyTimeoutScale);
    if (c.adapter != QLatin1String("none") || !c.latencyMs.isEmpty())
        set << "adapter=" + c.adapter + ":" + c.latencyMs;
    if (!c.file.isEmpty())
        set << "file=" + c.file;
    return set.join(' ');
}
} // namespace

class TestWindow : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

    // LOAD of content written to a file of that name (no content: the dialog is cancelled);
    // the cell text at 0x4D1 afterwards.
    std::string load(WindowRig& rig, const char* name, const QByteArray& content = {})
    {
        const QString p = dir_.filePath(QString::fromLatin1(name));
        rig.op.files.push_back(content.isEmpty() ? std::nullopt : std::optional(p));
        if (!content.isEmpty() && !writeFile(p, content))
            return "not written";
        rig.form.Load_Click();
        return rig.form.grid.text(rowOf(0x4D1), columnOf(0x4D1));
    }

private slots:
    void loadSetsTitleAndLength_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("loadedEnd");
        QTest::addColumn<int>("programLength");
        QTest::addColumn<QString>("titleEnd");
        QTest::newRow("end record only") << kEndRecord << 0 << 0 << " -  0 Bytes (0H)";
        QTest::newRow("33, no end record") << hexRecord(0, QByteArray(33, 1)) << 33 << 64 << " -  33 Bytes (40H)";
        QTest::newRow("up to 1234") << hexRecord(0x4D1, "\x55") << 1234 << 1248 << " -  1234 Bytes (4E0H)";
        QTest::newRow("last address") << hexRecord(0xFFFF, QByteArray(1, 0)) << 65536 << 65536 << " -  65536 Bytes (10000H)";
    }
    void loadSetsTitleAndLength()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, loadedEnd);
        QFETCH(int, programLength);
        QFETCH(QString, titleEnd);
        WindowRig rig;
        QCOMPARE(load(rig, "demo.hex", file), std::string(loadedEnd == 1234 ? "55" : "FF"));
        QCOMPARE(rig.form.loadedEnd, loadedEnd);
        QCOMPARE(rig.form.programLength, programLength);
        QCOMPARE(rig.form.windowTitle(), QDir::toNativeSeparators(dir_.filePath("demo.hex")) + titleEnd);
        QVERIFY(rig.form.loadAccepted && rig.op.boxes.empty() && !rig.form.MSFG->isHidden());
        QCOMPARE(rig.op.beeps, 1);
    }

    void refusedLoadChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("cancelled") << QByteArray();
        // Line 2 has a wrong checksum; line 1 must not reach the image either.
        QTest::newRow("rejected") << hexRecord(0x4D1, "\x33") + ":0102000044FF\r\n";
    }
    void refusedLoadChangesNothing()
    {
        QFETCH(QByteArray, file);
        WindowRig rig;
        Form1& f = rig.form;
        load(rig, "good.hex", hexRecord(0, QByteArray(40, 0x22)) + kEndRecord);
        const QString title = f.windowTitle();
        QCOMPARE(load(rig, "broken.hex", file), std::string("FF"));
        QCOMPARE(rig.op.boxes.size(), qsizetype(file.isEmpty() ? 0 : 1));
        QVERIFY(file.isEmpty() || (rig.op.boxes[0].contains("broken.hex") && rig.op.boxes[0].contains("line 2")));
        QVERIFY(!f.loadAccepted && !f.MSFG->isHidden());
        QCOMPARE(f.windowTitle(), title);
        QCOMPARE(f.programLength, 64);
        QCOMPARE(f.grid.text(1, 2), std::string("22"));
        QCOMPARE(rig.op.beeps, file.isEmpty() ? 1 : 2); // a rejection's box is followed by the beep
    }

    void unfilledLoadKeepsEarlierBytes()
    {
        WindowRig rig;
        Form1& f = rig.form;
        const auto at4D0 = [&] { return f.grid.text(rowOf(0x4D0), columnOf(0x4D0)); };
        load(rig, "first.hex", hexRecord(0x4D0, "\xAB"));
        f.Fillchk->setChecked(false);
        QCOMPARE(load(rig, "second.hex", hexRecord(0x4D1, "\xCD")), std::string("CD"));
        QCOMPARE(at4D0(), std::string("AB"));
        QCOMPARE(f.loadedEnd, 0x4D2);
        f.Fillchk->setChecked(true);
        load(rig, "second.hex", hexRecord(0x4D1, "\xCD"));
        QCOMPARE(at4D0(), std::string("FF"));
    }

    // SAVE writes the identified chip's rows (all 64 KB when none is), or shows a box and writes
    // nothing; the cells are checked before the dialog asks for a name.
    void save_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("deviceSize");
        QTest::addColumn<qint64>("size"); // of the file written; -1: none
        QTest::addColumn<QString>("box"); // what the box names; empty: no box
        QTest::newRow("no chip identified") << "out.hex" << 0 << qint64(184335) << "";
        QTest::newRow("a 1 KB chip") << "out.hex" << 1024 << qint64(2895) << "";
        QTest::newRow("malformed cell") << "bad.hex" << 0 << qint64(-1) << "1234";
        QTest::newRow("missing folder") << "missing/out.hex" << 0 << qint64(-1)
                                        << QDir::toNativeSeparators(dir_.filePath("missing/out.hex"));
        QTest::newRow("empty path") << "" << 0 << qint64(-1) << "";
    }
    void save()
    {
        QFETCH(QString, name);
        QFETCH(int, deviceSize);
        QFETCH(qint64, size);
        QFETCH(QString, box);
        WindowRig rig;
        const QString title = rig.form.windowTitle();
        const QString p = name.isEmpty() ? name : dir_.filePath(name);
        if (!p.isEmpty())
            QFile::remove(p); // an earlier row's
        rig.form.deviceSize = deviceSize;
        if (box == "1234")
            rig.form.grid.setText(rowOf(0x1234), columnOf(0x1234), "F");
        rig.op.files.push_back(p);
        rig.form.Save_Click();
        QCOMPARE(QFileInfo::exists(p) ? QFileInfo(p).size() : qint64(-1), size);
        QCOMPARE(rig.form.windowTitle(), size < 0 ? title : QDir::toNativeSeparators(p));
        QCOMPARE(rig.op.boxes.size(), qsizetype(box.isEmpty() ? 0 : 1));
        QVERIFY(box.isEmpty() || rig.op.boxes[0].contains(box));
        QCOMPARE(rig.op.beeps, 1); // an empty path only beeps; a box is followed by the beep
        QCOMPARE(rig.op.dialogs, box == "1234" ? std::vector<Operator::FileMode>{}
                                               : std::vector{Operator::FileMode::Save});
    }

    void startsAsDescribed()
    {
        WindowRig rig;
        Form1& f = rig.form;
        QVERIFY2(!appIcon().pixmap(32, 32).isNull(), "the icon's images are in the resources");
        QVERIFY(f.progressBar->isHidden() && !f.loadAccepted);
        const QList<QCheckBox*> ticked = {f.Erase_chk, f.Program_chk, f.autochk, f.Fillchk};
        for (QCheckBox* box : f.findChildren<QCheckBox*>())
            QCOMPARE(box->checkState(), ticked.contains(box) ? Qt::Checked : Qt::Unchecked);
        // A chip of the table whose button the window does not place fails here.
        for (QRadioButton* button : f.deviceButtons)
            QVERIFY(button && !button->isChecked());
        QVERIFY(f.Option1->isChecked() && !f.Option2->isChecked());
        f.Option2->click();
        QCOMPARE(rig.port->selected(), 2);
    }

    // The "Serial port" dialog: the system's ports as listed, each button's device in a box that
    // also takes a name typed in (button 1's); a line picked in the list goes to the box edited
    // last (button 2's); Cancel changes nothing.
    void serialPortDialog_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("answered") << false;
        QTest::newRow("cancelled") << true;
    }
    void serialPortDialog()
    {
        QFETCH(bool, cancel);
        QtOperator op;
        const std::vector<SerialPortEntry> ports{{"/dev/ttyS0", "/dev/ttyS0  driver serial8250"},
                                                 {"/dev/ttyUSB3", "/dev/ttyUSB3  FT232R USB UART, driver ftdi_sio"}};
        QStringList shown; // the list's lines, then the two boxes' texts
        bool answered = false;
        QTimer answer; // polls for the dialog; exec() below returns once it is answered
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || std::exchange(answered, true))
                return;
            auto* list = dialog->findChild<QListWidget*>("ports");
            QComboBox* first = dialog->findChild<QComboBox*>("button1");
            QComboBox* second = dialog->findChild<QComboBox*>("button2");
            for (int i = 0; list && i < list->count(); ++i)
                shown << list->item(i)->text();
            for (auto* box : {first, second})
                shown << (box ? box->currentText() : "missing");
            if (!first || !second || !list || cancel)
                return dialog->reject();
            first->lineEdit()->selectAll();
            QTest::keyClicks(first->lineEdit(), "COM9");
            QTest::keyClicks(second->lineEdit(), "x");
            emit list->itemActivated(list->item(1));
            dialog->accept();
        });
        answer.start(20);
        const std::optional<std::array<QString, 2>> chosen = op.choosePorts({"COM1", "COM2"}, ports);
        QVERIFY2(answered, "no dialog came up");
        QCOMPARE(shown, (QStringList{ports[0].line, ports[1].line, "COM1", "COM2"}));
        QCOMPARE(chosen.has_value(), !cancel);
        if (chosen)
            QCOMPARE(*chosen, (std::array<QString, 2>{"COM9", "/dev/ttyUSB3"}));
    }

    // error: empty when the arguments are taken, else words the message must hold ("|" between).
    void options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("changes");
        QTest::addColumn<QString>("error");
        QTest::newRow("none") << QStringList{} << "" << "";
        QTest::newRow("simulate chip, no pace, help, scale")
            << QStringList{"--no-pace", "--simulate=AT89C2051", "--help", "--reply-timeout-scale", "2.5"}
            << "simulate=AT89C2051 no-pace help scale=2.5" << "";
        QTest::newRow("empty socket") << QStringList{"--simulate=none"} << "simulate=none" << "";
        QTest::newRow("simulate, COM2, adapter, a file")
            << QStringList{"--simulate", "--com2", "/dev/ttyS1", "--adapter", "ftdi", "--latency-ms=2", "blink.hex"}
            << "simulate=AT89S52 com2=/dev/ttyS1 adapter=ftdi:2 file=blink.hex" << "";
        QTest::newRow("unknown chip") << QStringList{"--simulate=AT89C99"} << ""
                                      << "--simulate=AT89C99|AT89C1051, AT89C2051|AT89C55WD, or none";
        QTest::newRow("chip after a blank") << QStringList{"--simulate", "AT89C51"} << "" << "AT89C51|--simulate=AT89C51";
        QTest::newRow("simulate with com1") << QStringList{"--simulate", "--com1", "/dev/ttyS0"} << "" << "--com1";
        QTest::newRow("timeout scale zero") << QStringList{"--reply-timeout-scale=0"} << "" << "0.1 to 100";
        QTest::newRow("two files") << QStringList{"a.hex", "b.hex"} << "" << "b.hex|one HEXFILE";
        QTest::newRow("adapter without simulate") << QStringList{"--adapter=ch340"} << "" << "--simulate";
        QTest::newRow("unknown adapter") << QStringList{"--simulate", "--adapter=cp2102"} << "" << "cp2102";
    }
    void options()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const CommandLine c = parseCommandLine(QStringList{"brindle"} + args);
        for (const QString& word : error.split('|', Qt::SkipEmptyParts))
            QVERIFY2(c.error.contains(word), qPrintable(c.error + " lacks " + word));
        QVERIFY2(error.isEmpty() == c.error.isEmpty(), qPrintable(c.error));
        if (error.isEmpty())
            QTEST(changes(c), "changes");
    }

    // The option names are checked against the manual page (man_options); the parser cannot
    // show an optional value, so the help spells it out by hand.
    void helpShowsTheOptionalChip()
    {
        const QString help = parseCommandLine({"brindle", "--help"}).helpText;
        QVERIFY2(help.contains("--simulate[=CHIP]") && !help.contains("<=CHIP>"), qPrintable(help));
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
