// The test databases themselves: the throw-away PostgreSQL server, reached the way this
// platform reaches it (QPSQL here, QODBC and the PostgreSQL ODBC driver on Windows), and a
// SQLite file. A missing SQL driver or a server that lets a wrong password in fails here.

#include "pg_cluster.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Removes the connection once its last handle is gone, as Qt requires.
class Connection
{
public:
    explicit Connection(const QString &driver)
        : name_(QStringLiteral("%1 %2").arg(QTest::currentTestFunction(), QTest::currentDataTag())),
          db_(QSqlDatabase::addDatabase(driver, name_))
    {
    }
    ~Connection()
    {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    QSqlDatabase &db() { return db_; }

private:
    QString name_;
    QSqlDatabase db_;
};

QString driversHere() { return QSqlDatabase::drivers().join(QLatin1Char(' ')); }

} // namespace

class TestPgFixture : public QObject
{
    Q_OBJECT

private slots:
    void server_data()
    {
        QTest::addColumn<bool>("rightPassword");
        QTest::newRow("the password") << true;
        QTest::newRow("a wrong password") << false;
    }
    void server()
    {
        QFETCH(bool, rightPassword);
        const PgCluster cluster = PgCluster::read();
        QVERIFY2(cluster.isValid(), "no cluster address in " BRINDLE_PG_DIR ": did pg_cluster_start run?");
        const QString driver = QStringLiteral(BRINDLE_PG_DRIVER);
        QVERIFY2(QSqlDatabase::isDriverAvailable(driver), qPrintable(driver + " missing; here: " + driversHere()));

        const QString password = rightPassword ? cluster.password : cluster.password + QLatin1Char('x');
        Connection connection(driver);
        QSqlDatabase &db = connection.db();
        if (driver == QLatin1String("QODBC")) {
            db.setDatabaseName(cluster.odbcConnection(password));
            db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=10"));
        } else {
            const QUrl url(cluster.url);
            db.setHostName(url.host());
            db.setPort(url.port());
            db.setDatabaseName(url.path().mid(1));
            db.setUserName(url.userName());
            db.setPassword(password);
            db.setConnectOptions(QStringLiteral("connect_timeout=10"));
        }
        const bool opened = db.open();
        if (!rightPassword) {
            QVERIFY2(!opened, "the server took a wrong password");
            QVERIFY(db.lastError().isValid());
            return;
        }
        QVERIFY2(opened, qPrintable(db.lastError().text()));
        QSqlQuery query(db);
        QVERIFY2(query.exec(QStringLiteral("SELECT 1, current_user, current_database()")),
                 qPrintable(query.lastError().text()));
        QVERIFY(query.next());
        QCOMPARE(query.value(0).toInt(), 1);
        QCOMPARE(query.value(1).toString(), QStringLiteral("brindle"));
        QCOMPARE(query.value(2).toString(), QStringLiteral("brindle"));
    }

    // Written, closed and read back: the file, not a cache, holds the row.
    void sqliteFile()
    {
        QVERIFY2(QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")), qPrintable("here: " + driversHere()));
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("store.sqlite"));
        {
            Connection connection(QStringLiteral("QSQLITE"));
            connection.db().setDatabaseName(path);
            QVERIFY2(connection.db().open(), qPrintable(connection.db().lastError().text()));
            QSqlQuery query(connection.db());
            QVERIFY2(query.exec(QStringLiteral("CREATE TABLE t (n INTEGER)")), qPrintable(query.lastError().text()));
            QVERIFY(query.exec(QStringLiteral("INSERT INTO t VALUES (42)")));
        }
        QVERIFY(QFileInfo(path).size() > 0);
        Connection connection(QStringLiteral("QSQLITE"));
        connection.db().setDatabaseName(path);
        QVERIFY(connection.db().open());
        QSqlQuery query(QStringLiteral("SELECT n, sqlite_version() FROM t"), connection.db());
        QVERIFY2(query.next(), qPrintable(query.lastError().text()));
        QCOMPARE(query.value(0).toInt(), 42);
        qInfo("SQLite %s", qPrintable(query.value(1).toString()));
    }
};

QTEST_GUILESS_MAIN(TestPgFixture)
#include "tst_pg_fixture.moc"
