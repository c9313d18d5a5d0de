// The fixture of the suites that run the real brindle-cli: the process, its jobs' files, and
// (where the build has them) simulated boards on pseudo-terminals.
#pragma once

#include "hex_record.h"
#ifdef BRINDLE_PTY_BOARDS
#include "pty_board.h"
#endif

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace brindle::cli::test {

struct Run {
    int exitCode = -1;
    QString out, err;
    bool contains(const QString& text) const { return out.contains(text) || err.contains(text); }
    // stderr first: it says why, and QtTest cuts a long message short.
    QByteArray what() const { return ("exit " + QString::number(exitCode) + "\nstderr:\n" + err + "\nstdout:\n" + out).toLocal8Bit(); }
};

inline QString cliPath() { return QStringLiteral(BRINDLE_CLI_EXE); }

// Starts brindle-cli, or `program` with its arguments in front of brindle-cli's; the caller waits.
inline void startCli(QProcess& process, const QStringList& args, bool trace = false, const QStringList& program = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("BRINDLE_TRACE", trace ? "1" : "0");
    process.setProcessEnvironment(env);
    const QStringList command = program + QStringList{cliPath()} + args;
    process.start(command.first(), command.mid(1));
}

// Waits at most 60 s (a paced board's full write and then some) for a started brindle-cli.
inline Run finishCli(QProcess& process)
{
    Run run;
    // Under Wine a busy machine now and then refuses to create a process at all; that says
    // nothing of the program, so it is started once more.
    if (!process.waitForStarted(20000) && process.error() == QProcess::FailedToStart)
        process.start();
    if (!process.waitForFinished(60000)) {
        const QString why = process.error() == QProcess::FailedToStart ? "did not start: " + process.errorString()
                                                                        : QStringLiteral("did not finish within 60 s");
        process.kill();
        process.waitForFinished(5000);
        run.err = "brindle-cli " + why;
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    if (process.exitStatus() == QProcess::CrashExit)
        run.err.prepend("brindle-cli crashed (on Unix, by signal " + QString::number(process.exitCode()) + ")\n");
    return run;
}

inline Run runCli(const QStringList& args, bool trace = false)
{
    QProcess process;
    startCli(process, args, trace);
    return finishCli(process);
}

// The JSON objects of --json output or a --log record, one a line (an empty one for a line
// that is none).
inline QList<QJsonObject> jsonLines(const QByteArray& text)
{
    QList<QJsonObject> objects;
    for (const QByteArray& line : text.split('\n'))
        if (!line.isEmpty())
            objects << QJsonDocument::fromJson(line).object();
    return objects;
}

// An image of `length` bytes, byte a being (a * step + 1) & 0xFF, then FF up to `size`.
inline QByteArray imageBytes(int length, int step = 7, int size = 0)
{
    QByteArray bytes(std::max(length, size), char(0xFF));
    for (int a = 0; a < length; ++a)
        bytes[a] = char((a * step + 1) & 0xFF);
    return bytes;
}

inline QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& content)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// A HEX file of imageBytes(length, step) from address 0.
inline QString writeHex(const QTemporaryDir& dir, const QString& name, int length, int step = 7)
{
    const QByteArray bytes = imageBytes(length, step);
    QByteArray text;
    for (int address = 0; address < length; address += 16)
        text += hexRecord(address, bytes.mid(address, 16));
    return writeFile(dir, name, text + hexRecord(0, {}, 1));
}

// The bytes the trace shows going out to the board ("> 49" ...), in order.
inline QStringList sentBytes(const QString& trace)
{
    QStringList sent;
    static const QRegularExpression line(QStringLiteral("^\\s*\\d+ >((?: [0-9A-F]{2})+)"), QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(trace); it.hasNext();)
        sent += it.next().captured(1).split(' ', Qt::SkipEmptyParts);
    return sent;
}

// The files jobs are written from, by the names that stand for them in a job's arguments;
// DIR inside an argument is the folder they are in.
class JobFiles {
public:
    QTemporaryDir dir;

    JobFiles()
    {
        files_["SMALL"] = writeHex(dir, "small.hex", 160);
        files_["BIG"] = writeHex(dir, "big.hex", 8192, 13);           // an AT89S52's size
        files_["FULL"] = writeHex(dir, "full.hex", 2048);             // an AT89C2051's size,
        files_["OVER"] = writeHex(dir, "over.hex", 2049);             // and one byte more
        files_["RAW"] = writeFile(dir, "raw.hex", imageBytes(160));   // SMALL's bytes, named as HEX
    }
    QString operator[](const QString& name) const { return files_.value(name); }
    QStringList expand(QStringList args) const
    {
        for (QString& arg : args)
            arg = files_.value(arg, arg).replace("DIR", dir.path());
        return args;
    }

private:
    QHash<QString, QString> files_;
};

#ifdef BRINDLE_PTY_BOARDS
// A simulated board with options as brindle-board takes them ({"--chip", "none"}).
inline std::unique_ptr<board::PtyBoard> startBoard(const std::vector<std::string>& args = {})
{
    board::BoardOptions options;
    std::string error;
    if (!board::parseBoardOptions(args, &options, &error))
        qFatal("bad board options: %s", error.c_str());
    auto b = std::make_unique<board::PtyBoard>();
    if (!b->start(options, &error))
        qFatal("the simulated board did not start: %s", error.c_str());
    return b;
}

inline QString pathOf(const board::PtyBoard& b) { return QString::fromStdString(b.devicePath()); }
#endif

} // namespace brindle::cli::test
