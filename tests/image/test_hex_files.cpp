// Files on disk: reading a HEX file, and replacing a file so that a failure leaves it as it was.
#include "hex_file.h"

#include <QtTest>

using namespace brindle::image;

namespace {

QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<cannot open>");
}

} // namespace

class TestHexFiles : public QObject {
    Q_OBJECT

private slots:
    void writeAndReadBack();
    void replaceExisting();
    void missingFolder();
    void readOnlyFolderKeepsFile();
    void cannotOpen();
    void tooLarge();
    void folderIsNoFile();
};

void TestHexFiles::writeAndReadBack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("OUT.HEX");
    HexGrid grid;
    grid.redraw(CodeBuffer());
    const std::string content = hexRecords(grid, 64);
    QCOMPARE(writeFileAtomically(path, content), std::nullopt);
    QCOMPARE(contentOf(path), QByteArray::fromStdString(content));

    const HexReadResult r = readHexFile(path);
    QVERIFY(!r.problem);
    QCOMPARE(r.data.loadedEnd, 1024);
}

void TestHexFiles::replaceExisting()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("OUT.HEX");
    QCOMPARE(writeFileAtomically(path, std::string(1000, 'x')), std::nullopt);
    QCOMPARE(writeFileAtomically(path, "short"), std::nullopt);
    QCOMPARE(contentOf(path), QByteArray("short"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"OUT.HEX"});
}

void TestHexFiles::missingFolder()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("no/such/folder/OUT.HEX");
    const std::optional<QString> reason = writeFileAtomically(path, "data");
    QVERIFY(reason.has_value());
    QVERIFY(!reason->isEmpty());
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

void TestHexFiles::readOnlyFolderKeepsFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("OUT.HEX");
    QCOMPARE(writeFileAtomically(path, "old"), std::nullopt);
    QFile folder(dir.path());
    const auto writable = QFileDevice::WriteOwner | QFileDevice::WriteUser | QFileDevice::WriteGroup |
                          QFileDevice::WriteOther;
    QVERIFY(folder.setPermissions(folder.permissions() & ~writable));
    // Some users (root) write whatever the permission bits say: nothing to learn there.
    QFile probe(dir.filePath("probe"));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.close();
        probe.remove();
        folder.setPermissions(folder.permissions() | QFileDevice::WriteOwner);
        QSKIP("permission bits do not stop this user from writing");
    }
    const std::optional<QString> reason = writeFileAtomically(path, "new content");
    folder.setPermissions(folder.permissions() | QFileDevice::WriteOwner);
    QVERIFY(reason.has_value());
    QVERIFY(!reason->isEmpty());
    QCOMPARE(contentOf(path), QByteArray("old"));
}

void TestHexFiles::cannotOpen()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("MISSING.HEX");
    const HexReadResult r = readHexFile(path);
    QVERIFY(r.problem.has_value());
    QCOMPARE(r.problem->error, HexError::CannotOpen);
    QCOMPARE(r.problem->line, 0);
    QVERIFY(r.problem->message.startsWith(path + ": cannot open the file: "));
    QVERIFY(r.problem->message.size() > (path + ": cannot open the file: ").size());
}

void TestHexFiles::tooLarge()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("BIG.HEX");
    QFile big(path);
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(kMaxHexFileSize + 1)); // sparse: costs no disk
    big.close();
    const HexReadResult r = readHexFile(path);
    QVERIFY(r.problem.has_value());
    QCOMPARE(r.problem->error, HexError::TooLarge);
}

void TestHexFiles::folderIsNoFile()
{
    QTemporaryDir dir;
    const HexReadResult r = readHexFile(dir.path());
    QVERIFY(r.problem.has_value());
    QCOMPARE(r.problem->error, HexError::CannotOpen);
}

QTEST_GUILESS_MAIN(TestHexFiles)
#include "test_hex_files.moc"
