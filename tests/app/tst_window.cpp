// The window as it starts, its command line, the serial port dialog, and LOAD and SAVE: titles,
// lengths, the dialog's answers, and files that are rejected or cannot be written.
#include "app_icon.h"
#include "app_rig.h"
#include "command_line.h"
#include "qt_operator.h"

#ifdef BRINDLE_POSIX_TESTS
#include "file_size_limit.h"
#endif

using namespace brindle::app;
using brindle::image::rowOf;
using brindle::image::columnOf;

namespace {
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
        QTest::newRow("one byte") << hexRecord(0, "\x12") + kEndRecord << 1 << 32 << " -  1 Bytes (20H)";
        QTest::newRow("32 bytes") << hexRecord(0, QByteArray(32, 1)) + kEndRecord << 32 << 32 << " -  32 Bytes (20H)";
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
        QVERIFY(!f.loadAccepted);
        QCOMPARE(f.windowTitle(), title);
        QCOMPARE(f.programLength, 64);
        QCOMPARE(f.codeBuffer[0x4D1], std::uint8_t(0xFF));
        QCOMPARE(f.grid.text(1, 2), std::string("22"));
        QVERIFY(!f.MSFG->isHidden());
        QCOMPARE(rig.op.beeps, file.isEmpty() ? 1 : 2); // a rejection's box is followed by the beep
    }

    void unfilledLoadKeepsEarlierBytes()
    {
        WindowRig rig;
        Form1& f = rig.form;
        load(rig, "first.hex", hexRecord(0x4D0, "\xAB"));
        f.Fillchk->setChecked(false);
        QCOMPARE(load(rig, "second.hex", hexRecord(0x4D1, "\xCD")), std::string("CD"));
        QCOMPARE(f.grid.text(rowOf(0x4D0), columnOf(0x4D0)), std::string("AB"));
        QCOMPARE(f.loadedEnd, 0x4D2);
        f.Fillchk->setChecked(true);
        load(rig, "second.hex", hexRecord(0x4D1, "\xCD"));
        QCOMPARE(f.grid.text(rowOf(0x4D0), columnOf(0x4D0)), std::string("FF"));
    }

    void saveWritesTheWholeImage()
    {
        WindowRig rig;
        const QString p = dir_.filePath("out.hex");
        rig.op.files = {p, p};
        rig.form.Save_Click();
        QCOMPARE(rig.op.dialogs.back(), Operator::FileMode::Save);
        QCOMPARE(QFileInfo(p).size(), qint64(184335)); // no chip identified: 64 KB
        QCOMPARE(rig.form.windowTitle(), QDir::toNativeSeparators(p));
        QCOMPARE(rig.op.beeps, 1);
        rig.form.deviceSize = 1024;
        rig.form.Save_Click();
        QCOMPARE(QFileInfo(p).size(), qint64(2895));
    }

    void refusedSaveChangesNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("boxNames");
        QTest::newRow("malformed cell") << "bad.hex" << "1234";
        QTest::newRow("missing folder") << "missing/out.hex" << QDir::toNativeSeparators(dir_.filePath("missing/out.hex"));
        QTest::newRow("empty path") << "" << "";
    }
    void refusedSaveChangesNothing()
    {
        QFETCH(QString, name);
        QFETCH(QString, boxNames);
        WindowRig rig;
        const QString title = rig.form.windowTitle();
        const QString p = name.isEmpty() ? name : dir_.filePath(name);
        if (boxNames == "1234")
            rig.form.grid.setText(rowOf(0x1234), columnOf(0x1234), "F");
        rig.op.files.push_back(p);
        rig.form.Save_Click();
        QVERIFY(p.isEmpty() || !QFileInfo::exists(p));
        QCOMPARE(rig.form.windowTitle(), title);
        QCOMPARE(rig.op.boxes.size(), qsizetype(boxNames.isEmpty() ? 0 : 1));
        QVERIFY(boxNames.isEmpty() || rig.op.boxes[0].contains(boxNames));
        QCOMPARE(rig.op.beeps, 1); // an empty path only beeps; a box is followed by the beep
        QCOMPARE(rig.op.dialogs.size(), qsizetype(boxNames == "1234" ? 0 : 1)); // cells first
    }

#ifdef BRINDLE_POSIX_TESTS
    // SAVE onto a file system that fills up: the old file stays whole, no temporary is left and
    // the box gives the reason.
    void saveOntoAFullDiskKeepsTheOldFile()
    {
        WindowRig rig;
        const QString p = dir_.filePath("kept.hex");
        QVERIFY(writeFile(p, kEndRecord));
        rig.form.deviceSize = 2048; // a 2 KB chip's file is held in the write buffer until the end
        rig.op.files.push_back(p);
        {
            const FileSizeLimit full(4096);
            QVERIFY(full.isSet());
            rig.form.Save_Click();
        }
        QCOMPARE(rig.op.boxes, QStringList{"Cannot save " + QDir::toNativeSeparators(p) + ":\nFile too large"});
        QFile file(p);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), kEndRecord);
        QCOMPARE(QDir(dir_.path()).entryList({"kept.hex*"}, QDir::Files | QDir::Hidden), QStringList{"kept.hex"});
    }
#endif

    void startsAsDescribedAndLogs()
    {
        WindowRig rig;
        Form1& f = rig.form;
        QVERIFY2(!appIcon().pixmap(32, 32).isNull(), "the icon's images are in the resources");
        QVERIFY(f.progressBar->isHidden() && !f.loadAccepted);
        QCOMPARE(f.grid.text(4096, 16), std::string("FF"));
        const QList<QCheckBox*> ticked = {f.Erase_chk, f.Program_chk, f.autochk, f.Fillchk};
        for (QCheckBox* box : f.findChildren<QCheckBox*>())
            QCOMPARE(box->checkState(), ticked.contains(box) ? Qt::Checked : Qt::Unchecked);
        // Every chip of the table has its button; a name the window does not place fails here.
        for (std::size_t row = 0; row < brindle::protocol::kChips.size(); ++row) {
            const auto& chip = brindle::protocol::kChips[row];
            const QString control = QString::fromLatin1(chip.control.data(), int(chip.control.size()));
            QVERIFY2(f.deviceButtons[row], qPrintable("no button for " + control));
            QCOMPARE(f.deviceButtons[row]->objectName(), control);
            QCOMPARE(f.deviceButtons[row]->text(), QString::fromLatin1(chip.caption.data(), int(chip.caption.size())));
            QVERIFY(!f.deviceButtons[row]->isChecked());
        }
        QVERIFY(f.Option1->isChecked() && !f.Option2->isChecked());
        f.Option2->click();
        QCOMPARE(rig.port->selected(), 2);
        // msgout shifts the four lines up.
        const QString company = f.Label2->text(), web = f.Label4->text();
        f.logMessage = QStringLiteral("Erase.");
        f.msgout();
        QCOMPARE(f.Label1->text(), company);
        f.msgout(); // the same message twice
        f.logMessage.clear();
        f.msgout();
        const QStringList lines = {f.Label1->text(), f.Label2->text(), f.Label3->text(), f.Label4->text()};
        QCOMPARE(lines, (QStringList{web, "Erase.", "Erase.", ""}));
    }

    // The "Serial port" dialog: the system's ports as listed, each button's device in a box that
    // also takes a name typed in; a line picked in the list goes to the box edited last; an
    // emptied box keeps the button's device; Cancel changes nothing.
    void serialPortDialog_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("button2"); // what button 2 is left standing for; "-": cancelled
        QTest::newRow("typed in") << "type COM9" << "COM9";
        QTest::newRow("picked in the list") << "pick" << "/dev/ttyUSB3";
        QTest::newRow("emptied") << "type " << "COM2";
        QTest::newRow("cancelled") << "cancel" << "-";
    }
    void serialPortDialog()
    {
        QFETCH(QString, how);
        QFETCH(QString, button2);
        QtOperator op;
        const std::vector<SerialPortEntry> ports{{"/dev/ttyS0", "/dev/ttyS0  driver serial8250"},
                                                 {"/dev/ttyUSB3", "/dev/ttyUSB3  FT232R USB UART, driver ftdi_sio"}};
        QStringList lines, boxes;
        bool answered = false;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || answered)
                return;
            answered = true;
            auto* list = dialog->findChild<QListWidget*>("ports");
            for (int i = 0; list && i < list->count(); ++i)
                lines << list->item(i)->text();
            QComboBox* second = dialog->findChild<QComboBox*>("button2");
            for (auto* box : {dialog->findChild<QComboBox*>("button1"), second})
                boxes << (box ? box->currentText() : "missing");
            if (!second || !list || how == "cancel") {
                dialog->reject();
                return;
            }
            if (how.startsWith("type ")) {
                second->lineEdit()->selectAll();
                QTest::keyClicks(second->lineEdit(), how.mid(5));
                if (how.mid(5).isEmpty())
                    QTest::keyClick(second->lineEdit(), Qt::Key_Delete);
            } else {
                QTest::keyClicks(second->lineEdit(), "x"); // the box edited last
                emit list->itemActivated(list->item(1));
            }
            dialog->accept();
        });
        answer.start(20);
        const std::optional<std::array<QString, 2>> chosen = op.choosePorts({"COM1", "COM2"}, ports);
        QVERIFY2(answered, "no dialog came up");
        QCOMPARE(lines, (QStringList{ports[0].line, ports[1].line}));
        QCOMPARE(boxes, (QStringList{"COM1", "COM2"}));
        QCOMPARE(chosen.has_value(), button2 != "-");
        if (chosen) {
            QCOMPARE((*chosen)[0], QStringLiteral("COM1"));
            QCOMPARE((*chosen)[1], button2);
        }
    }

    // error: empty when the arguments are taken, else words the message must hold ("|" between).
    void options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("changes");
        QTest::addColumn<QString>("error");
        QTest::newRow("none") << QStringList{} << "" << "";
        QTest::newRow("simulate chip, no pace") << QStringList{"--no-pace", "--simulate=AT89C2051"}
                                                << "simulate=AT89C2051 no-pace" << "";
        QTest::newRow("empty socket") << QStringList{"--simulate=none"} << "simulate=none" << "";
        QTest::newRow("simulate, COM2") << QStringList{"--simulate", "--com2", "/dev/ttyS1"}
                                        << "simulate=AT89S52 com2=/dev/ttyS1" << "";
        QTest::newRow("com1 and com2") << QStringList{"--com1", "/dev/pts/7", "--com2=/dev/ttyUSB1"}
                                       << "com1=/dev/pts/7 com2=/dev/ttyUSB1" << "";
        QTest::newRow("help") << QStringList{"--help"} << "help" << "";
        QTest::newRow("timeout scale") << QStringList{"--reply-timeout-scale", "2.5"} << "scale=2.5" << "";
        QTest::newRow("unknown chip") << QStringList{"--simulate=AT89C99"} << ""
                                      << "--simulate=AT89C99|AT89C1051, AT89C2051|AT89C55WD, or none";
        QTest::newRow("empty chip") << QStringList{"--simulate="} << "" << "--simulate=:|AT89S8252";
        QTest::newRow("chip after a blank") << QStringList{"--simulate", "AT89C51"} << ""
                                            << "AT89C51|--simulate=AT89C51";
        QTest::newRow("simulate with com1") << QStringList{"--simulate", "--com1", "/dev/ttyS0"} << "" << "--com1";
        QTest::newRow("timeout scale not a number") << QStringList{"--reply-timeout-scale=slow"} << ""
                                                    << "--reply-timeout-scale=slow|0.1 to 100";
        QTest::newRow("timeout scale zero") << QStringList{"--reply-timeout-scale=0"} << "" << "0.1 to 100";
        QTest::newRow("a file to load") << QStringList{"--simulate", "blink.hex"} << "simulate=AT89S52 file=blink.hex" << "";
        QTest::newRow("two files") << QStringList{"a.hex", "b.hex"} << "" << "b.hex|one HEXFILE";
        QTest::newRow("adapter") << QStringList{"--simulate", "--adapter", "ftdi", "--latency-ms=2"}
                                 << "simulate=AT89S52 adapter=ftdi:2" << "";
        QTest::newRow("adapter without simulate") << QStringList{"--adapter=ch340"} << "" << "--simulate";
        QTest::newRow("timer of another adapter") << QStringList{"--simulate", "--adapter=pl2303", "--latency-ms=2"}
                                                  << "" << "--adapter ftdi";
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

    void helpNamesEveryOptionAndTheTrace()
    {
        const QString help = parseCommandLine({"brindle", "--help"}).helpText;
        for (const char* word : {"--com1 <PATH>", "--com2 <PATH>", "--simulate[=CHIP]", "--no-pace", "--help",
                                 "AT89C1051", "AT89C55WD", "BRINDLE_TRACE=1", "--replay", "--log <FILE>",
                                 "--reply-timeout-scale <F>", "--adapter <NAME>", "--latency-ms <N>", "[HEXFILE]"})
            QVERIFY2(help.contains(word), word);
        QVERIFY(!help.contains("<=CHIP>"));
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
