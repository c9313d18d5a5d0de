// The advice for a port that cannot be opened, from the facts of the device, the account and
// the lock file; and how those facts are found.
#include "port_advice.h"

#include <QtTest>

#ifdef BRINDLE_POSIX_TESTS
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace brindle;
using namespace brindle::link;

class TestPortAdvice : public QObject {
    Q_OBJECT
private slots:
    // account: alice (uid 1000, group 1000), "member" of dialout (group 20), "joining" it (a
    // member only from the next login), or root. device: "owner group mode", empty when the
    // system tells nothing of it. lock: "pid running|gone", empty for no lock file.
    void refused_data()
    {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("lock");
        QTest::addColumn<QString>("advice"); // "*" matches anything
        const QString lock = "/var/lock/LCK..ttyUSB0";
        const QString closed = "* is closed to your account and its groups, so joining a group would not help. A udev "
                               "rule or the administrator must open it to you*";
        const QString inUse = "The port is in use. Close the other program that uses it, then try again.";
        QTest::newRow("group root, 0660") << "alice" << "root root 0660" << "" << closed;
        QTest::newRow("dialout, 0660")
            << "alice" << "root dialout 0660" << ""
            << "Your account may not use /dev/ttyUSB0 (owner root, group dialout, mode 0660). Members of the group "
               "dialout may: join it (the administrator runs: usermod -aG dialout alice), then log out and in again.";
        QTest::newRow("dialout may only read") << "alice" << "root dialout 0640" << "" << closed;
        QTest::newRow("joined since the login") << "joining" << "root dialout 0660" << ""
                                                << "*yet: it has joined the group dialout, which may use it, "
                                                   "since this session began. Log out and in again.";
        QTest::newRow("member, dialout may only read") << "member" << "root dialout 0640" << "" << closed;
        QTest::newRow("stale lock") << "member" << "root dialout 0660" << "4242 gone"
                                    << "The port is locked by the file " + lock + ", left by process 4242, which no "
                                       "longer runs. Delete that file, then try again.";
        QTest::newRow("lock of a running program") << "root" << "root root 0600" << "4242 running"
                                                   << "The port is in use by process 4242 (lock file " + lock
                                                          + "). Close the other program that uses it, then try again.";
        QTest::newRow("lock naming no process") << "alice" << "root dialout 0666" << "0 gone"
                                                << "The port is in use: the lock file " + lock + " names no process.*";
        QTest::newRow("device unknown") << "alice" << "" << "" << inUse;
    }
    void refused()
    {
        QFETCH(QString, account);
        QFETCH(QString, device);
        QFETCH(QString, lock);
        QFETCH(QString, advice);
        const bool root = account == "root";
        const std::vector<unsigned> none{0}, alice{1000}, member{1000, 20};
        const auto& session = root ? none : account == "member" ? member : alice;
        const auto& atLogin = root ? none : account == "alice" ? alice : member;
        platform::PortFacts facts;
        facts.user = {root ? "root" : "alice", root ? 0u : 1000u, session, atLogin};
        if (const QStringList d = device.split(' '); d.size() == 3)
            facts.device = platform::DeviceFacts{"/dev/ttyUSB0", 0, d[1] == "dialout" ? 20u : 0u, d[0].toStdString(),
                                       d[1].toStdString(), d[2].toUInt(nullptr, 8)};
        if (const QStringList l = lock.split(' '); l.size() == 2)
            facts.lock = platform::LockFacts{"/var/lock/LCK..ttyUSB0", l[0].toLong(), l[1] == "running"};
        const QString told = QString::fromStdString(openAdvice(platform::OpenRefusal::Refused, facts));
        const QString pattern = QRegularExpression::escape(advice).replace("\\*", ".*");
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(pattern)).match(told).hasMatch(), qPrintable(told));
        QVERIFY2(!told.contains("sudo") && !told.contains("as root"), qPrintable(told));
    }

    void lockFileContents()
    {
        const qint32 binary = 4242;
        for (const auto& [content, pid] : {std::pair{QByteArray("      4242\n"), 4242L}, // padded, as UUCP
                                           {QByteArray(reinterpret_cast<const char*>(&binary), 4), 4242L},
                                           {QByteArray(), 0L}, {QByteArray("-5\n"), 0L}, {QByteArray("12ab\n"), 0L}})
            QCOMPARE(platform::lockFilePid(std::string_view(content.constData(), std::size_t(content.size()))).value_or(0), pid);
    }

#ifdef BRINDLE_POSIX_TESTS
    // The device's mode and owner from the system, and a lock file's process judged alive or not.
    void gathersTheFacts()
    {
        QTemporaryDir dir, locks;
        const QString device = dir.filePath("ttyFAKE0");
        QFile file(device);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        const std::vector<std::string> folders{locks.path().toStdString()};

        platform::PortFacts facts = platform::gatherPortFacts(device.toStdString(), folders);
        QVERIFY(facts.device && !facts.lock);
        QCOMPARE(facts.device->mode, 0640u);
        QCOMPARE(facts.device->owner, unsigned(::geteuid()));
        QCOMPARE(facts.user.uid, unsigned(::geteuid()));
        QVERIFY(std::count(facts.user.groups.begin(), facts.user.groups.end(), unsigned(::getegid())) > 0);

        const pid_t gone = ::fork();
        if (gone == 0)
            ::_exit(0);
        QVERIFY(gone > 0 && ::waitpid(gone, nullptr, 0) == gone);
        const QString lockPath = locks.filePath("LCK.." + QString(device).replace('/', '_'));
        for (const auto& [pid, alive] : {std::pair<long, bool>{gone, false}, {long(::getpid()), true}}) {
            QFile lock(lockPath);
            QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
            lock.write(QByteArray::number(qlonglong(pid)).rightJustified(10) + "\n");
            lock.close();
            facts = platform::gatherPortFacts(device.toStdString(), folders);
            QVERIFY2(facts.lock, qPrintable(lockPath));
            QCOMPARE(QString::fromStdString(facts.lock->path), lockPath);
            QCOMPARE(facts.lock->pid, pid);
            QCOMPARE(facts.lock->alive, alive);
        }
    }
#endif
};

QTEST_APPLESS_MAIN(TestPortAdvice)
#include "tst_port_advice.moc"
