// The reply reader's rules, its time limit and the report of a port that will not open.
#include "link_rig.h"
#include "serial_link.h"

#include <QtTest>

using namespace brindle::link;
using namespace brindle::link::test;

namespace {
const QString kTimesOut = QStringLiteral("(times out)");
}

class TestSerialLink : public QObject {
    Q_OBJECT

private slots:
    void reader_data()
    {
        QTest::addColumn<int>("wanted");
        QTest::addColumn<QString>("incoming");
        QTest::addColumn<QList<int>>("chunks"); // empty: one read
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("nextReply"); // of a following call with wanted 1

        const QString block = QString("0123456789ABCDEF").repeated(4);
        QTest::newRow("code in two reads") << 2 << "51" << QList<int>{1} << "51" << kTimesOut;
        QTest::newRow("letter and CR LF in one read") << 1 << "S\r\n" << QList<int>{} << "S" << kTimesOut;
        QTest::newRow("line end first") << 1 << "\rX" << QList<int>{} << "" << kTimesOut;
        QTest::newRow("after a line end is lost") << 2 << "AB\rCD" << QList<int>{} << "AB" << kTimesOut;
        QTest::newRow("code split over line end reads") << 2 << "5\n1" << QList<int>{1} << "5" << "1";
        QTest::newRow("66 for 64 carried") << 64 << block + "XY" << QList<int>{} << block + "XY" << "XY";
        QTest::newRow("block and status in one read") << 64 << block + "R" << QList<int>{} << block + "R" << "R";
        QTest::newRow("block and status in reads of 3") << 64 << block + "R" << QList<int>{3} << block + "R" << "R";
        QTest::newRow("block in reads of 1") << 64 << block + "R" << QList<int>{1} << block << "R";
        QTest::newRow("block in reads of 1, 2, 3") << 64 << block + "R" << QList<int>{1, 2, 3} << block + "R" << "R";
        QTest::newRow("carry stops at a line end") << 1 << "SN\r\nX" << QList<int>{} << "SN" << "N";
    }

    void reader()
    {
        QFETCH(int, wanted);
        QFETCH(QString, incoming);
        QFETCH(QList<int>, chunks);
        QFETCH(QString, reply);
        QFETCH(QString, nextReply);

        RecordingPanel panel;
        ScriptedPort port(nullptr);
        port.chunks.assign(chunks.begin(), chunks.end());
        SerialLink link(port, panel);
        link.setTimeout(std::chrono::milliseconds(100));
        link.setLineRate(0);
        QVERIFY(link.open());
        port.pending = incoming.toStdString();

        link.serialinput(wanted);
        QCOMPARE(QString::fromStdString(link.reply), reply);
        QCOMPARE(QString::fromStdString(panel.title), reply);
        QVERIFY(!link.timedOut());

        link.serialinput(1);
        if (nextReply == kTimesOut) {
            QVERIFY(link.timedOut());
        } else {
            QCOMPARE(QString::fromStdString(link.reply), nextReply);
            QCOMPARE(QString::fromStdString(panel.title), nextReply);
        }
    }

    void nothingCarriesOverAClose()
    {
        RecordingPanel panel;
        ScriptedPort port(nullptr);
        SerialLink link(port, panel);
        link.setTimeout(std::chrono::milliseconds(100));
        QVERIFY(link.open());
        port.pending = "SN";
        link.serialinput(1);
        QCOMPARE(link.reply, std::string("SN"));
        link.close();
        QVERIFY(link.open());
        link.serialinput(1);
        QVERIFY(link.timedOut());
        QCOMPARE(link.reply, std::string());
    }

    void timeLimit_data()
    {
        QTest::addColumn<QString>("incoming");
        QTest::addColumn<QString>("titlePart");
        QTest::newRow("silent") << "" << "The programmer on COM2 (/dev/scripted2) did not answer";
        QTest::newRow("half a code") << "5" << "The programmer on COM2 (/dev/scripted2) gave an incomplete answer";
    }

    void timeLimit()
    {
        QFETCH(QString, incoming);
        QFETCH(QString, titlePart);
        RecordingPanel panel;
        ScriptedPort port(nullptr);
        SerialLink link(port, panel);
        link.selectPort(2);
        link.setTimeout(std::chrono::milliseconds(300));
        QVERIFY(link.open());
        port.pending = incoming.toStdString();
        link.serialinput(2);
        QVERIFY(link.timedOut());
        QCOMPARE(QString::fromStdString(link.reply), incoming);
        QVERIFY2(QString::fromStdString(panel.title).startsWith(titlePart), panel.title.c_str());
        // The window was given the chance to repaint, but not at every turn of the loop.
        QVERIFY(panel.idleCalls >= 1);
        QVERIFY(panel.idleCalls <= 30);
    }

    void openFailureToldOncePerAction()
    {
        RecordingPanel panel;
        ScriptedPort port(nullptr);
        port.failure = OpenFailure{"Permission denied", "Join the group dialout."};
        SerialLink link(port, panel);
        link.beginAction();
        QVERIFY(!link.open());
        QVERIFY(!link.open());
        QCOMPARE(port.opens, 1);
        QCOMPARE(panel.events.size(), std::size_t(1));
        const QString box = QString::fromStdString(panel.events[0]);
        QVERIFY2(box.startsWith("box:16:PORT:"), qPrintable(box));
        for (const char* part : {"COM1", "/dev/scripted1", "Permission denied", "Join the group dialout."})
            QVERIFY2(box.contains(part), part);

        link.beginAction();
        QVERIFY(!link.open());
        QCOMPARE(panel.events.size(), std::size_t(2));
    }
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_serial_link.moc"
