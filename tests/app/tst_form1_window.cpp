// The window as it starts: its controls' states and the log; and the serial port dialog.
#include "app_icon.h"
#include "app_rig.h"
#include "qt_operator.h"

#include <functional>

using namespace brindle::app;

class TestForm1Window : public QObject {
    Q_OBJECT
private slots:
    void startsAsDescribedAndLogs()
    {
        WindowRig rig;
        Form1& f = rig.form;
        QVERIFY2(!appIcon().pixmap(32, 32).isNull(), "the icon's images are in the resources");
        QVERIFY(!f.loadAccepted && f.hexFileName.isEmpty() && f.deviceSize == 0 && f.programLength == 0);
        QVERIFY(f.progressBar->isHidden());
        QCOMPARE(f.codeBuffer[0xFFFF], std::uint8_t(0xFF));
        QCOMPARE(f.grid.text(4096, 16), std::string("FF"));
        QCOMPARE(f.grid.firstMalformedCell(4096), -1);
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
};

QTEST_MAIN(TestForm1Window)
#include "tst_form1_window.moc"
