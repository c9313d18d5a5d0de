// Reading a BRINDLE_TRACE recording back, and the board that answers from it.
#include "trace_replay.h"

#include <QtTest>

using namespace brindle::board;

namespace {

// A READ's start and a failed WRITE, as the program traces them, amid other output. Its ASCII
// column must not be read as bytes sent, and the "w" and LF are two reads of the program's.
const char kTrace[] = "[COM1 open /dev/pts/4]\r\n"
                      "       0 > 49  |I|\r\n"
                      "       5 < 32 31  |21|\r\n"
                      "[COM1 close]\n"
                      "qt.qpa.xcb: could not connect to display 2 > 1\n"
                      "[COM1 open /dev/pts/4]\n"
                      "      10 > 57  |W|\n"
                      "      12 < 51 0D  |Q.|\n"
                      "      20 > 30 30  |00|\n"
                      "      21 > 7C 20  || |\n"
                      "      40 < 77  |w|\n"
                      "      43 < 0A  |.|\n"
                      "[COM1 close]\n";

// The replies as "text@delay", one per read, and the notices, as the board meets bytes.
QString replay(const std::string& trace, const std::string& bytes, QStringList* notices)
{
    const ParsedTrace parsed = parseTrace(trace);
    TraceReplay board(parsed.exchanges);
    QStringList replies;
    auto take = [&](const std::vector<TraceReplay::Reply>& rs) {
        for (const auto& r : rs)
            replies << QString::fromStdString(r.text).replace("\r", "\\r").replace("\n", "\\n") + "@" + QString::number(r.delayMs);
        if (const std::string notice = board.takeNotice(); !notice.empty())
            *notices << QString::fromStdString(notice);
    };
    take(board.start());
    for (char c : bytes)
        take(board.receive(c));
    return replies.join(' ');
}

} // namespace

class TestTraceReplay : public QObject {
    Q_OBJECT
private slots:
    void damagedTraces_data()
    {
        QTest::addColumn<QString>("trace");
        QTest::addColumn<QString>("error");
        QTest::newRow("not hex") << "[COM1 open x]\n  12 > 4G  |.|\n" << "line 2: '4G' is not a byte in hexadecimal";
        QTest::newRow("no bytes") << "  12 <\n" << "line 1: a byte line without bytes in hexadecimal";
        QTest::newRow("nothing traced") << "[COM1 open x]\n[COM1 close]\n" << "no byte lines*BRINDLE_TRACE=1*";
    }
    void damagedTraces()
    {
        QFETCH(QString, trace);
        QFETCH(QString, error);
        const ParsedTrace t = parseTrace(trace.toStdString());
        QVERIFY2(QRegularExpression(QRegularExpression::wildcardToRegularExpression(error)).match(
                     QString::fromStdString(t.error)).hasMatch(), t.error.c_str());
        QVERIFY(t.exchanges.empty());
    }

    // notice: what the operator is told, in full where it matters.
    void answersInStepWithTheProgram_data()
    {
        QTest::addColumn<QString>("trace");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("replies");
        QTest::addColumn<QString>("notice");
        const QString done = "replay: all 3 exchanges of the trace answered";
        QTest::newRow("as recorded") << kTrace << "IW00| " << "21@5 Q\\r@2 w@19 \\n@22" << done;
        QTest::newRow("stopped half-way") << kTrace << "IW0" << "21@5 Q\\r@2" << "";
        QTest::newRow("diverged, then silent")
            << kTrace << "IWR0| " << "21@5 Q\\r@2"
            << "replay diverged: byte 3 from the program is 'R' (52) where the trace (line 9) has '0' (30); "
               "the board stays silent from here on";
        QTest::newRow("beyond the trace") << kTrace << "IW00| \r" << "21@5 Q\\r@2 w@19 \\n@22"
                                          << done + "|replay diverged: byte 7 from the program, the byte 0D, comes "
                                                    "after the trace's last exchange; the board stays silent from "
                                                    "here on";
        QTest::newRow("replies before any send") << "  3 < 3F\n  9 > 49\n 15 < 31 31\n" << "I" << "?@3 11@6"
                                                 << "replay: all 2 exchanges of the trace answered";
        QTest::newRow("clock restarted by a second run") << "  900 > 49\n  905 < 32 31\n   2 > 49\n   6 < 35 35\n"
                                                         << "II" << "21@5 55@4" << "replay: all 2 exchanges*";
    }
    void answersInStepWithTheProgram()
    {
        QFETCH(QString, trace);
        QFETCH(QString, sent);
        QFETCH(QString, replies);
        QFETCH(QString, notice);
        QStringList notices;
        QCOMPARE(replay(trace.toStdString(), sent.toStdString(), &notices), replies);
        QVERIFY2(QRegularExpression(QRegularExpression::wildcardToRegularExpression(notice)).match(
                     notices.join('|')).hasMatch(), qPrintable(notices.join('|')));
    }
};

QTEST_APPLESS_MAIN(TestTraceReplay)
#include "tst_trace_replay.moc"
