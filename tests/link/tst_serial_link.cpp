// The reply reader's rules and its time limit, with replies cut into reads of chosen sizes.
#include "link_rig.h"

using namespace brindle;
using namespace brindle::link::test;
using brindle::link::Reply;

Q_DECLARE_METATYPE(brindle::link::Work)

class TestSerialLink : public QObject {
    Q_OBJECT

private slots:
    void reader_data()
    {
        QTest::addColumn<int>("wanted");
        QTest::addColumn<QString>("incoming");
        QTest::addColumn<QList<int>>("chunks"); // sizes of successive reads; empty: one read
        QTest::addColumn<bool>("reopen");       // the port is closed and opened between the calls
        QTest::addColumn<QString>("first");     // reply and title; the title alone when time is up
        QTest::addColumn<QString>("second");    // of a following call with wanted 1

        const QString block = QString("0123456789ABCDEF").repeated(4);
        const QString quiet = "The programmer on COM1 (DEV) did not answer";
        QTest::newRow("code in reads of 1") << 2 << "51" << QList<int>{1} << false << "51" << quiet;
        QTest::newRow("letter, CR LF") << 1 << "S\r\n" << QList<int>{} << false << "S" << quiet;
        QTest::newRow("CR first") << 1 << "\rX" << QList<int>{} << false << "" << quiet;
        QTest::newRow("line end in a later read") << 2 << "5\n1" << QList<int>{1} << false << "5" << "1";
        QTest::newRow("extra kept up to a line end") << 1 << "SN\r\nX" << QList<int>{} << false << "SN" << "N";
        QTest::newRow("block and status in one read") << 64 << block + "R" << QList<int>{} << false << block + "R" << "R";
        QTest::newRow("block, status in reads of 1, 2, 3") << 64 << block + "R" << QList<int>{1, 2, 3} << false << block + "R" << "R";
        QTest::newRow("block in reads of 1") << 64 << block + "R" << QList<int>{1} << false << block << "R";
        QTest::newRow("nothing carried over a close") << 1 << "SN" << QList<int>{} << true << "SN" << quiet;
        QTest::newRow("CR and LF in separate reads") << 2 << "5\r\n1" << QList<int>{2, 1} << false << "5" << "1";
        QTest::newRow("half a code") << 2 << "5" << QList<int>{} << false
                                     << "The programmer on COM1 (DEV) gave an incomplete answer: 5" << quiet;
    }

    void reader()
    {
        QFETCH(int, wanted);
        QFETCH(QString, incoming);
        QFETCH(QList<int>, chunks);
        QFETCH(bool, reopen);
        QFETCH(QString, first);
        QFETCH(QString, second);
        OpRig rig;
        rig.link.setTimeout(std::chrono::milliseconds(100));
        rig.port.chunks.assign(chunks.begin(), chunks.end());
        QVERIFY(rig.link.open());
        rig.port.pending = incoming.toStdString();
        auto check = [&](int n, const QString& expected) {
            const Reply reply = rig.link.serialinput(n);
            const bool late = expected.startsWith("The programmer");
            QCOMPARE(reply.timedOut, late);
            QCOMPARE(rig.panel.title, expected);
            QVERIFY(late ? rig.panel.idles > 0 : QString::fromStdString(reply.text) == expected);
        };
        check(wanted, first);
        if (reopen) {
            rig.link.close();
            QVERIFY(rig.link.open());
        }
        check(1, second);
    }

    // After a status letter, what the board sends behind it joins the reply whether it came in
    // the same read or the next, up to a line end.
    void settle_data()
    {
        QTest::addColumn<QString>("incoming");
        QTest::addColumn<QList<int>>("chunks");
        QTest::addColumn<QString>("reply");
        QTest::newRow("a letter too many, in one read") << "RR" << QList<int>{} << "RR";
        QTest::newRow("a letter too many, in the next read") << "RR" << QList<int>{1} << "RR";
        QTest::newRow("up to a line end") << "RX\r\nY" << QList<int>{1} << "RX";
        QTest::newRow("the letter alone") << "R" << QList<int>{} << "R";
    }
    void settle()
    {
        QFETCH(QString, incoming);
        QFETCH(QList<int>, chunks);
        QFETCH(QString, reply);
        OpRig rig;
        rig.port.chunks.assign(chunks.begin(), chunks.end());
        QVERIFY(rig.link.open());
        rig.port.pending = incoming.toStdString();
        Reply got = rig.link.serialinput(1);
        rig.link.settle(got);
        QCOMPARE(QString::fromStdString(got.text), reply);
        QCOMPARE(rig.panel.title, reply);
    }

    // A reply's limit: a floor, the characters' line time, the board's work, all scaled.
    void replyLimit_data()
    {
        QTest::addColumn<int>("characters");
        QTest::addColumn<link::Work>("work");
        QTest::addColumn<double>("scale");
        QTest::addColumn<int>("ms");
        using W = link::Work;
        QTest::newRow("a letter") << 1 << W::None << 1.0 << 301;
        QTest::newRow("a block") << 65 << W::None << 1.0 << 334;
        QTest::newRow("an erase") << 1 << W::Erase << 1.0 << 2301;
        QTest::newRow("a blank check") << 1 << W::BlankCheck << 1.0 << 1001;
        QTest::newRow("a block programmed") << 1 << W::Program << 1.0 << 601;
        QTest::newRow("halved") << 1 << W::None << 0.5 << 150;
        QTest::newRow("scale 0: a hundredth") << 1 << W::None << 0.0 << 3;
        QTest::newRow("an hour at most") << 1 << W::Erase << 1e9 << 3600000;
    }
    void replyLimit()
    {
        QFETCH(int, characters);
        QFETCH(link::Work, work);
        QFETCH(double, scale);
        QFETCH(int, ms);
        QCOMPARE(link::ReplyLimits::forReply(characters, work, scale).count(), ms);
    }

    // Once a reply has timed out, the rest of the exchange on that opening takes only what is
    // waiting: three replies of a silent board cost one limit, not three. The bound lies
    // halfway between, far from either.
    void silenceCostsOneLimit()
    {
        OpRig rig;
        rig.link.setTimeout(std::chrono::milliseconds(400));
        QVERIFY(rig.link.open());
        QElapsedTimer clock;
        clock.start();
        Reply reply;
        for (int i = 0; i < 3; ++i)
            reply = rig.link.serialinput(1);
        QVERIFY(reply.timedOut);
        QCOMPARE_LT(clock.elapsed(), 800); // three limits: 1200 ms
        QCOMPARE(rig.link.silenceLimit(), std::chrono::milliseconds(400));
    }
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_serial_link.moc"
