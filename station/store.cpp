#include "store.h"

#include "stop_signals.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <atomic>
#include <cstdio>

namespace brindle::station {

namespace {

std::atomic<int> connections{0};

QString now() { return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs); }

// The system's words for a failed call, on one line.
QString reasonOf(const QSqlError& error)
{
    QString text = error.databaseText().trimmed();
    const QString driver = error.driverText().trimmed();
    if (text.isEmpty() || (!driver.isEmpty() && !text.contains(driver)))
        text = text.isEmpty() ? driver : driver + ": " + text;
    text.replace(QRegularExpression(QStringLiteral("\\s*\\n\\s*")), QStringLiteral("; "));
    return text.isEmpty() ? QStringLiteral("no reason given") : text;
}

// The record line's fields and their columns, in the order the table has them.
struct Column {
    const char* key;
    const char* column;
    bool number;
};
const Column kRecordColumns[] = {
    {"time", "time", false},           {"station", "station", false},
    {"operator", "operator", false},   {"host", "host", false},
    {"program", "program", false},     {"version", "version", false},
    {"port", "port", false},           {"chip", "chip", false},
    {"chipCode", "chip_code", false},  {"step", "step", false},
    {"file", "file", false},           {"fileSize", "file_size", true},
    {"fileSha256", "file_sha256", false}, {"imageCrc32", "image_crc32", false},
    {"imageBytes", "image_bytes", true}, {"result", "result", false},
    {"exitCode", "exit_code", true},   {"differingBytes", "differing_bytes", true},
    {"durationMs", "duration_ms", true}, {"warning", "warning", false},
    {"series", "series", false},       {"serial", "serial", false},
    {"serialBytes", "serial_bytes", false},
};

QString schemaSql(bool sqlite)
{
    const QString id = sqlite ? QStringLiteral("id INTEGER PRIMARY KEY") : QStringLiteral("id BIGSERIAL PRIMARY KEY");
    QString record = "CREATE TABLE IF NOT EXISTS brindle_record (" + id;
    for (const Column& c : kRecordColumns)
        record += QStringLiteral(", %1 %2").arg(QLatin1String(c.column), c.number ? "BIGINT" : "TEXT");
    return QStringLiteral(
               "CREATE TABLE IF NOT EXISTS brindle_meta (key VARCHAR(64) PRIMARY KEY, value TEXT NOT NULL);"
               "CREATE TABLE IF NOT EXISTS brindle_series (name VARCHAR(200) PRIMARY KEY, kind VARCHAR(10) NOT NULL,"
               " next_value BIGINT NOT NULL, step BIGINT NOT NULL, list_count BIGINT, list_file TEXT,"
               " list_sha256 TEXT, created TEXT NOT NULL);"
               "CREATE TABLE IF NOT EXISTS brindle_serials (series VARCHAR(200) NOT NULL, value BIGINT NOT NULL,"
               " bytes TEXT, state VARCHAR(12) NOT NULL, result VARCHAR(20), station TEXT, operator TEXT,"
               " port TEXT, reserved_at TEXT, marked_at TEXT, PRIMARY KEY (series, value));")
           + record + ");"
           + "CREATE INDEX IF NOT EXISTS brindle_record_serial ON brindle_record (series, serial);"
             "CREATE INDEX IF NOT EXISTS brindle_record_time ON brindle_record (time);";
}

QVariant textOrNull(const QJsonValue& value)
{
    if (value.isNull() || value.isUndefined())
        return QVariant(QMetaType(QMetaType::QString));
    return value.isDouble() ? QVariant(qint64(value.toDouble())) : QVariant(value.toString());
}

} // namespace

QString Serial::text() const { return list ? bytesText(bytes) : QString::number(value); }

QString Serial::shown() const { return list ? bytesText(bytes) : numberText(value); }

QString systemUserName()
{
    for (const char* name : {"USER", "USERNAME", "LOGNAME"})
        if (const QString user = qEnvironmentVariable(name); !user.isEmpty())
            return user;
    return QStringLiteral("unknown");
}

Store::Store(StoreAddress address, QString station, QString user)
    : address_(std::move(address)), station_(std::move(station)), user_(std::move(user)),
      connection_(QStringLiteral("brindle-store-%1").arg(++connections))
{
}

Store::~Store()
{
    if (QSqlDatabase::contains(connection_)) {
        db().close();
        QSqlDatabase::removeDatabase(connection_);
    }
}

QSqlDatabase Store::db() const { return QSqlDatabase::database(connection_, false); }

std::optional<QString> Store::fail(const QString& what, const QString& reason)
{
    // The connection may be what failed (a server restarted): the next call connects anew.
    if (QSqlDatabase::contains(connection_))
        db().close();
    open_ = false;
    return QStringLiteral("The store %1 %2: %3").arg(address_.shown(), what, reason);
}

std::optional<QString> Store::open()
{
    if (open_)
        return std::nullopt;
    QString driver = QStringLiteral("QSQLITE");
    if (address_.engine == StoreAddress::Engine::Postgres)
        driver = QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")) ? QStringLiteral("QPSQL") : QStringLiteral("QODBC");
    else if (address_.engine == StoreAddress::Engine::Odbc)
        driver = QStringLiteral("QODBC");
    if (!QSqlDatabase::isDriverAvailable(driver))
        return fail(QStringLiteral("cannot be used"), "this Brindle has no " + driver + " database driver");
    // A connection that failed before is tried again under the same name.
    QSqlDatabase database = QSqlDatabase::contains(connection_) ? db() : QSqlDatabase::addDatabase(driver, connection_);
    sqlite_ = driver == QLatin1String("QSQLITE");
    if (sqlite_) {
        QDir().mkpath(QFileInfo(address_.path).absolutePath());
        database.setDatabaseName(address_.path);
        // Several programs on this machine take turns at the file rather than fail at once.
        database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=100"));
    } else if (driver == QLatin1String("QPSQL")) {
        database.setHostName(address_.host);
        database.setPort(address_.port);
        database.setDatabaseName(address_.database);
        database.setUserName(address_.user);
        database.setPassword(address_.password);
        database.setConnectOptions("connect_timeout=10" + (address_.options.isEmpty() ? "" : ";" + address_.options));
    } else {
        database.setDatabaseName(address_.engine == StoreAddress::Engine::Odbc ? address_.odbc : address_.odbcString());
        database.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=10;SQL_ATTR_CONNECTION_TIMEOUT=10"));
    }
    if (!database.open())
        return fail(QStringLiteral("cannot be reached"), reasonOf(database.lastError()));
    // PostgreSQL's notices ("relation ... already exists, skipping") are not the operator's business.
    if (!sqlite_)
        QSqlQuery(database).exec(QStringLiteral("SET client_min_messages TO WARNING"));
    // A write-ahead log: one flush a transaction instead of three, so programs sharing the file
    // wait less for each other; FULL keeps a committed reservation through a power cut. A file
    // this user cannot write stays as it is, and says so at the first write.
    if (sqlite_) {
        QSqlQuery(database).exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        QSqlQuery(database).exec(QStringLiteral("PRAGMA synchronous=FULL"));
    }
    if (const auto failure = createSchema()) {
        database.close();
        return failure;
    }
    open_ = true;
    return std::nullopt;
}

std::optional<QString> Store::begin()
{
    if (!sqlite_)
        return db().transaction() ? std::nullopt : std::optional<QString>(reasonOf(db().lastError()));
    // IMMEDIATE: the write lock is taken at once, so two programs cannot both read the same
    // next number and then fight over who writes it. The wait for another program's
    // transaction is ours, in short turns, so that a stop signal ends it.
    QSqlQuery q(db());
    QElapsedTimer waited;
    waited.start();
    bool told = false;
    while (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        const QString code = q.lastError().nativeErrorCode();
        if ((code != QLatin1String("5") && code != QLatin1String("6")) || waited.elapsed() >= kSqliteBusyMs)
            return reasonOf(q.lastError());
        if (platform::stopRequested())
            return QStringLiteral("stopped while another program had the file");
        if (!told && qEnvironmentVariableIntValue("BRINDLE_TRACE") != 0)
            std::fprintf(stderr, "[store %s: waiting for another program's transaction]\n", qPrintable(address_.shown()));
        told = true;
    }
    return std::nullopt;
}

std::optional<QString> Store::written(QSqlQuery& q)
{
    // One statement in a transaction of its own: begin() is where waiting for the file is done.
    if (const auto reason = begin())
        return reason;
    std::optional<QString> reason = q.exec() ? std::nullopt : std::optional<QString>(reasonOf(q.lastError()));
    q.finish();
    if (!reason)
        reason = commit();
    if (reason)
        rollback();
    return reason;
}

std::optional<QString> Store::commit()
{
    if (!sqlite_)
        return db().commit() ? std::nullopt : std::optional<QString>(reasonOf(db().lastError()));
    QSqlQuery q(db());
    return q.exec(QStringLiteral("COMMIT")) ? std::nullopt : std::optional<QString>(reasonOf(q.lastError()));
}

void Store::rollback()
{
    if (sqlite_)
        QSqlQuery(db()).exec(QStringLiteral("ROLLBACK"));
    else
        db().rollback();
}

std::optional<QString> Store::createSchema()
{
    QSqlQuery q(db());
    // A newer Brindle's store is left exactly as it is: not even a missing table is made.
    if (db().tables().contains(QStringLiteral("brindle_meta"))
        && q.exec(QStringLiteral("SELECT value FROM brindle_meta WHERE key = 'schema_version'")) && q.next()
        && q.value(0).toString().toInt() > kSchemaVersion)
        return fail(QStringLiteral("is of a newer Brindle"),
                    QStringLiteral("its schema is version %1, this program knows version %2 and changes nothing "
                                   "in it; use a newer Brindle").arg(q.value(0).toString()).arg(kSchemaVersion));
    q.finish();
    if (const auto reason = begin())
        return fail(QStringLiteral("cannot be used"), *reason);
    // Stations starting together must not race to create the same tables.
    if (!sqlite_ && !q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(748215001)"))) {
        rollback();
        return fail(QStringLiteral("cannot be used"), reasonOf(q.lastError()));
    }
    for (const QString& statement : schemaSql(sqlite_).split(';', Qt::SkipEmptyParts)) {
        if (!q.exec(statement)) {
            const QString reason = reasonOf(q.lastError());
            rollback();
            return fail(QStringLiteral("cannot make its tables"), reason);
        }
    }
    q.prepare(QStringLiteral("INSERT INTO brindle_meta (key, value) VALUES ('schema_version', ?) ON CONFLICT (key) DO NOTHING"));
    q.addBindValue(QString::number(kSchemaVersion));
    std::optional<QString> reason = q.exec() ? std::nullopt : std::optional<QString>(reasonOf(q.lastError()));
    q.finish();
    if (!reason)
        reason = commit();
    if (reason) {
        rollback();
        return fail(QStringLiteral("cannot make its tables"), *reason);
    }
    return std::nullopt;
}

namespace {

using Reason = std::optional<QString>; // why a statement failed; none when it did not

struct Refusal {
    QString what, reason;
};

// An existing series is used as it stands: what of the plan it does not take is noted, a plan
// it cannot serve at all is refused. q is on the series' row.
std::optional<Refusal> checkExisting(const QSqlQuery& q, const SeriesPlan& plan, const std::optional<SerialList>& list,
                                     QStringList* notes)
{
    const bool isList = q.value(0).toString() == QLatin1String("list");
    const qint64 next = q.value(1).toLongLong(), step = q.value(2).toLongLong();
    const QString sha = q.value(3).toString(), file = q.value(4).toString();
    if (isList != bool(list))
        return Refusal{"cannot use the series " + plan.name,
                       isList ? "it hands out the values of the list " + file + ", not numbers: drop the counter options or name another --series"
                              : QStringLiteral("it is a counter, not a list: name another --series for the list")};
    if (list && sha != list->sha256)
        return Refusal{"cannot load " + plan.listFile + " as the series " + plan.name,
                       "that series was loaded from another list (" + file + "); load this one under another --series"};
    if (!list && plan.start)
        *notes << QStringLiteral("the series %1 exists: --serial-start ignored, its next number is %2").arg(plan.name).arg(next);
    if (!list && plan.step && *plan.step != step)
        *notes << QStringLiteral("the series %1 counts in steps of %2: --serial-step ignored").arg(plan.name).arg(step);
    return std::nullopt;
}

// ON CONFLICT: another station may create the same series at the same moment; only the one
// that created it loads the list's values.
Reason createSeries(QSqlQuery& q, const SeriesPlan& plan, const std::optional<SerialList>& list, QStringList* notes)
{
    q.prepare(QStringLiteral("INSERT INTO brindle_series (name, kind, next_value, step, list_count, list_file, list_sha256, created)"
                             " VALUES (?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (name) DO NOTHING"));
    for (const QVariant& v : {QVariant(plan.name), QVariant(list ? "list" : "counter"), QVariant(list ? 1 : plan.start.value_or(1)),
                              QVariant(list ? 1 : plan.step.value_or(1)),
                              list ? QVariant(qint64(list->values.size())) : QVariant(QMetaType(QMetaType::LongLong)),
                              list ? QVariant(plan.listFile) : QVariant(QMetaType(QMetaType::QString)),
                              list ? QVariant(list->sha256) : QVariant(QMetaType(QMetaType::QString)), QVariant(now())})
        q.addBindValue(v);
    if (!q.exec())
        return reasonOf(q.lastError());
    if (!list || q.numRowsAffected() <= 0)
        return std::nullopt;
    QVariantList series, values, bytes, states;
    for (std::size_t i = 0; i < list->values.size(); ++i)
        series << plan.name, values << qint64(i + 1), bytes << bytesText(list->values[i]), states << "free";
    q.prepare(QStringLiteral("INSERT INTO brindle_serials (series, value, bytes, state) VALUES (?, ?, ?, ?)"));
    q.addBindValue(series), q.addBindValue(values), q.addBindValue(bytes), q.addBindValue(states);
    if (!q.execBatch())
        return reasonOf(q.lastError());
    *notes << QStringLiteral("loaded %1 values from %2 as the series %3").arg(list->values.size()).arg(plan.listFile, plan.name);
    return std::nullopt;
}

// Who takes a number, bound into every statement that reserves one.
struct Taker {
    QString station, user, port, at;
    void bind(QSqlQuery& q) const { q.addBindValue(station), q.addBindValue(user), q.addBindValue(port), q.addBindValue(at); }
};
const QString kReserve = QStringLiteral(
    "state = 'reserved', result = NULL, station = ?, operator = ?, port = ?, reserved_at = ?, marked_at = NULL");

Reason seriesKind(QSqlQuery& q, const QString& series, bool* list)
{
    q.prepare(QStringLiteral("SELECT kind FROM brindle_series WHERE name = ?"));
    q.addBindValue(series);
    if (!q.exec())
        return reasonOf(q.lastError());
    if (!q.next())
        return QStringLiteral("there is no such series");
    *list = q.value(0).toString() == QLatin1String("list");
    return std::nullopt;
}

// Only a number still marked failed is taken back: of two stations reaching for the same one,
// the second finds it reserved, updates nothing and takes a new number.
Reason retakeFailed(QSqlQuery& q, const QString& series, const Taker& taker, Serial* serial, bool* retaken)
{
    q.prepare("UPDATE brindle_serials SET " + kReserve
              + " WHERE series = ? AND state = 'failed' AND value = (SELECT MIN(value) FROM brindle_serials"
                " WHERE series = ? AND state = 'failed') RETURNING value, bytes");
    taker.bind(q);
    q.addBindValue(series), q.addBindValue(series);
    if (!q.exec())
        return reasonOf(q.lastError());
    *retaken = q.next();
    if (*retaken)
        serial->value = q.value(0).toLongLong(), serial->bytes = QByteArray::fromHex(q.value(1).toString().toLatin1());
    return std::nullopt;
}

// The row lock this UPDATE takes is what orders the stations.
Reason advanceSeries(QSqlQuery& q, const QString& series, bool list, qint64* value)
{
    q.prepare(list ? QStringLiteral("UPDATE brindle_series SET next_value = next_value + 1 WHERE name = ?"
                                    " AND next_value <= list_count RETURNING next_value - 1")
                   : QStringLiteral("UPDATE brindle_series SET next_value = next_value + step WHERE name = ?"
                                    " RETURNING next_value - step"));
    q.addBindValue(series);
    if (!q.exec())
        return reasonOf(q.lastError());
    if (!q.next())
        return QStringLiteral("its list has run out: every value has been handed out");
    *value = q.value(0).toLongLong();
    return std::nullopt;
}

Reason reserveListValue(QSqlQuery& q, const QString& series, const Taker& taker, Serial* serial)
{
    q.prepare("UPDATE brindle_serials SET " + kReserve + " WHERE series = ? AND value = ? AND state = 'free' RETURNING bytes");
    taker.bind(q);
    q.addBindValue(series), q.addBindValue(serial->value);
    if (!q.exec() || !q.next())
        return q.lastError().isValid() ? reasonOf(q.lastError())
                                       : QStringLiteral("its list value %1 is missing").arg(serial->value);
    serial->bytes = QByteArray::fromHex(q.value(0).toString().toLatin1());
    return std::nullopt;
}

// A retaken number keeps its row; a new one gets its row here.
Reason reserveNumber(QSqlQuery& q, const SeriesPlan& plan, const Taker& taker, bool retaken, Serial* serial)
{
    const auto bytes = encodeNumber(serial->value, plan.format);
    if (!bytes)
        return QStringLiteral("the series has run out: %1 does not fit %2 (at most %3)")
            .arg(serial->value).arg(formatName(plan.format)).arg(largestNumber(plan.format));
    serial->bytes = *bytes;
    if (retaken)
        return std::nullopt;
    q.prepare("INSERT INTO brindle_serials (series, value, bytes, state, station, operator, port, reserved_at)"
              " VALUES (?, ?, ?, 'reserved', ?, ?, ?, ?)");
    q.addBindValue(plan.name), q.addBindValue(serial->value), q.addBindValue(bytesText(serial->bytes));
    taker.bind(q);
    if (!q.exec())
        return reasonOf(q.lastError());
    return std::nullopt;
}

Reason takeStatements(QSqlQuery& q, const SeriesPlan& plan, const Taker& taker, Serial* serial)
{
    if (auto reason = seriesKind(q, plan.name, &serial->list))
        return reason;
    bool retaken = false;
    if (plan.reuseFailed)
        if (auto reason = retakeFailed(q, plan.name, taker, serial, &retaken))
            return reason;
    if (!retaken)
        if (auto reason = advanceSeries(q, plan.name, serial->list, &serial->value))
            return reason;
    if (!serial->list)
        return reserveNumber(q, plan, taker, retaken, serial);
    return retaken ? std::nullopt : reserveListValue(q, plan.name, taker, serial);
}

} // namespace

std::optional<QString> Store::prepare(SeriesPlan& plan, QStringList* notes)
{
    std::optional<SerialList> list;
    if (!plan.listFile.isEmpty()) {
        QString error;
        list = loadSerialList(plan.listFile, &error);
        if (!list)
            return error;
        plan.format = SerialFormat{SerialFormat::Kind::List, int(list->values.front().size())};
    }
    const QString what = "cannot prepare the series " + plan.name;
    if (const auto reason = begin())
        return fail(what, *reason);
    QSqlQuery q(db());
    q.prepare(QStringLiteral("SELECT kind, next_value, step, list_sha256, list_file FROM brindle_series WHERE name = ?"));
    q.addBindValue(plan.name);
    Reason reason;
    if (!q.exec()) {
        reason = reasonOf(q.lastError());
    } else if (q.next()) {
        const auto refusal = checkExisting(q, plan, list, notes);
        rollback();
        return refusal ? fail(refusal->what, refusal->reason) : std::nullopt;
    } else {
        reason = createSeries(q, plan, list, notes);
    }
    if (!reason)
        reason = commit();
    if (reason) {
        rollback();
        return fail(what, *reason);
    }
    return std::nullopt;
}

std::optional<QString> Store::take(const SeriesPlan& plan, const QString& port, Serial* serial)
{
    *serial = Serial();
    serial->series = plan.name;
    const QString what = "could not give a number of the series " + plan.name;
    if (const auto reason = begin())
        return fail(what, *reason);
    QSqlQuery q(db());
    Reason reason = takeStatements(q, plan, Taker{station_, user_, port, now()}, serial);
    q.finish();
    if (!reason)
        reason = commit();
    if (reason) {
        rollback();
        *serial = Serial();
        serial->series = plan.name;
        return fail(what, *reason);
    }
    return std::nullopt;
}

std::optional<QString> Store::mark(const Serial& serial, bool programmed, const QString& result)
{
    QSqlQuery q(db());
    q.prepare(QStringLiteral("UPDATE brindle_serials SET state = ?, result = ?, marked_at = ?"
                             " WHERE series = ? AND value = ? AND state = 'reserved'"));
    q.addBindValue(programmed ? "programmed" : "failed");
    q.addBindValue(result), q.addBindValue(now()), q.addBindValue(serial.series), q.addBindValue(serial.value);
    if (const auto reason = written(q))
        return fail("could not mark " + serial.shown() + " of the series " + serial.series + " as "
                        + (programmed ? "programmed" : "failed") + " (it stays reserved)",
                    *reason);
    return std::nullopt;
}

std::optional<QString> Store::addRecord(const QJsonObject& line)
{
    QJsonObject row = line;
    row["station"] = station_;
    row["operator"] = user_;
    QStringList columns, marks;
    for (const Column& c : kRecordColumns)
        columns << QLatin1String(c.column), marks << QStringLiteral("?");
    QSqlQuery q(db());
    q.prepare("INSERT INTO brindle_record (" + columns.join(", ") + ") VALUES (" + marks.join(", ") + ")");
    for (const Column& c : kRecordColumns)
        q.addBindValue(textOrNull(row.value(QLatin1String(c.key))));
    if (const auto reason = written(q))
        return fail("could not add the " + line.value("step").toString() + " row to its record", *reason);
    return std::nullopt;
}

std::optional<QString> Store::summaries(const QString& series, std::vector<SeriesSummary>* out)
{
    QSqlQuery q(db()), counts(db());
    q.prepare("SELECT name, kind, next_value, step, list_count, list_file FROM brindle_series"
              + QString(series.isEmpty() ? "" : " WHERE name = ?") + " ORDER BY name");
    if (!series.isEmpty())
        q.addBindValue(series);
    if (!q.exec())
        return fail(QStringLiteral("could not list its series"), reasonOf(q.lastError()));
    while (q.next()) {
        SeriesSummary s;
        s.name = q.value(0).toString();
        s.list = q.value(1).toString() == QLatin1String("list");
        s.next = q.value(2).toLongLong(), s.step = q.value(3).toLongLong();
        s.listCount = q.value(4).toLongLong(), s.listFile = q.value(5).toString();
        counts.prepare(QStringLiteral("SELECT state, COUNT(*) FROM brindle_serials WHERE series = ? GROUP BY state"));
        counts.addBindValue(s.name);
        if (!counts.exec())
            return fail(QStringLiteral("could not count its numbers"), reasonOf(counts.lastError()));
        while (counts.next()) {
            const QString state = counts.value(0).toString();
            const qint64 n = counts.value(1).toLongLong();
            if (state == QLatin1String("programmed"))
                s.programmed = n;
            else if (state == QLatin1String("failed"))
                s.failed = n;
            else if (state == QLatin1String("free"))
                s.listLeft = n;
        }
        counts.prepare(QStringLiteral("SELECT value, bytes, station, operator, port, reserved_at FROM brindle_serials"
                                      " WHERE series = ? AND state = 'reserved' ORDER BY value"));
        counts.addBindValue(s.name);
        if (!counts.exec())
            return fail(QStringLiteral("could not list its reserved numbers"), reasonOf(counts.lastError()));
        while (counts.next())
        {
            Serial serial;
            serial.series = s.name, serial.value = counts.value(0).toLongLong(), serial.list = s.list;
            serial.bytes = QByteArray::fromHex(counts.value(1).toString().toLatin1());
            s.reserved.push_back({serial, counts.value(2).toString(), counts.value(3).toString(),
                                  counts.value(4).toString(), counts.value(5).toString()});
        }
        out->push_back(s);
    }
    return std::nullopt;
}

std::optional<QString> Store::history(const HistoryQuery& query, std::vector<QJsonObject>* rows)
{
    QStringList columns, where;
    for (const Column& c : kRecordColumns)
        columns << QLatin1String(c.column);
    QVariantList values;
    if (!query.series.isEmpty())
        where << QStringLiteral("series = ?"), values << query.series;
    if (!query.serial.isEmpty()) {
        // A number as typed ("000123" is 123) or a list value in either spelling.
        bool number = false;
        const qint64 value = query.serial.toLongLong(&number);
        const QString bytes = bytesText(QByteArray::fromHex(query.serial.toLatin1().replace(':', "")));
        where << QStringLiteral("serial IN (?, ?)");
        values << (number ? QString::number(value) : query.serial) << bytes;
    }
    if (!query.since.isEmpty())
        where << QStringLiteral("time >= ?"), values << query.since;
    QSqlQuery q(db());
    q.prepare("SELECT " + columns.join(", ") + " FROM brindle_record" + (where.isEmpty() ? "" : " WHERE " + where.join(" AND "))
              + " ORDER BY id");
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        return fail(QStringLiteral("could not read its record"), reasonOf(q.lastError()));
    while (q.next()) {
        QJsonObject row;
        for (int i = 0; i < int(std::size(kRecordColumns)); ++i) {
            const Column& c = kRecordColumns[i];
            const QVariant v = q.value(i);
            row[QLatin1String(c.key)] = v.isNull() ? QJsonValue() : c.number ? QJsonValue(v.toLongLong()) : QJsonValue(v.toString());
        }
        rows->push_back(row);
    }
    return std::nullopt;
}

} // namespace brindle::station
