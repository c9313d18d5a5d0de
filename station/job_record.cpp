#include "job_record.h"

#include "chips.h"
#include "file_lock.h"
#include "hex_file.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

#include <array>

namespace brindle::station {

namespace {

std::array<std::uint32_t, 256> makeCrcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

} // namespace

JobRecord::JobRecord(QString path, QString program, QString version)
    : path_(std::move(path)), program_(std::move(program)), version_(std::move(version)),
      host_(QSysInfo::machineHostName()), file_(path_)
{
}

std::optional<QString> JobRecord::open()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (file_.isOpen())
        return std::nullopt;
    const QFileInfo info(path_);
    // A device or a pipe (/dev/stderr) has no end to append at nor a length to cut back to.
    regular_ = !info.exists() || info.isFile();
    // Unbuffered: each line reaches the system in one write, which O_APPEND places whole at
    // the end even with another writer on the same file.
    const QIODevice::OpenMode append = QIODevice::Append | QIODevice::Unbuffered;
    int pipe = -1;
    switch (regular_ ? platform::PipeOpen::NotPipe : platform::openPipeForWriting(QFile::encodeName(path_).toStdString(), &pipe)) {
    case platform::PipeOpen::NoReader: return QStringLiteral("no program is reading %1").arg(path_);
    case platform::PipeOpen::Opened:
        readable_ = false;
        return file_.open(pipe, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)
                   ? std::nullopt
                   : std::optional<QString>(file_.errorString());
    case platform::PipeOpen::NotPipe: break;
    }
    readable_ = regular_ && file_.open(QIODevice::ReadWrite | append);
    const bool opened = readable_ || file_.open(QIODevice::WriteOnly | (regular_ ? append : QIODevice::Unbuffered));
    return opened ? std::nullopt : std::optional<QString>(file_.errorString());
}

QByteArray JobRecord::line(const RecordEntry& entry) const
{
    QJsonObject o;
    o["time"] = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    o["host"] = host_;
    o["program"] = program_;
    o["version"] = version_;
    o["port"] = QString::fromStdString(entry.port);
    const protocol::Chip* chip = entry.chip;
    o["chipCode"] = chip ? QJsonValue(QString::fromUtf8(chip->code.data(), int(chip->code.size()))) : QJsonValue();
    o["chip"] = chip ? QJsonValue(QString::fromUtf8(chip->name.data(), int(chip->name.size()))) : QJsonValue();
    const std::string_view step = link::operationName(entry.step);
    o["step"] = QString::fromUtf8(step.data(), int(step.size()));
    o["file"] = entry.file.path.isEmpty() ? QJsonValue() : QJsonValue(entry.file.path);
    o["fileSize"] = entry.file.size < 0 ? QJsonValue() : QJsonValue(entry.file.size);
    o["fileSha256"] = entry.file.sha256.isEmpty() ? QJsonValue() : QJsonValue(entry.file.sha256);
    o["imageCrc32"] = entry.imageCrc32 ? QJsonValue(QString::asprintf("%08X", unsigned(*entry.imageCrc32))) : QJsonValue();
    o["imageBytes"] = entry.imageBytes;
    const std::string_view name = link::resultName(entry.result);
    o["result"] = QString::fromUtf8(name.data(), int(name.size()));
    o["exitCode"] = link::exitCode(entry.result, entry.stopStatus);
    o["differingBytes"] = entry.differingBytes;
    o["durationMs"] = qint64(entry.duration.count());
    o["warning"] = entry.warning.isEmpty() ? QJsonValue() : QJsonValue(entry.warning);
    if (!entry.series.isEmpty()) {
        o["series"] = entry.series;
        o["serial"] = entry.serial;
        o["serialBytes"] = entry.serialBytes;
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<QString> JobRecord::append(const RecordEntry& entry)
{
    QByteArray text = line(entry) + '\n';
    std::lock_guard<std::mutex> lock(mutex_);
    if (!file_.isOpen())
        return QStringLiteral("the record file is not open");
    if (!regular_)
        return writeAll(text);
    // Another program's line must not land between taking the length and cutting back to it.
    const bool locked = platform::lockFile(file_.handle(), true);
    const qint64 size = file_.size();
    // At the end as it is now, whatever another program appended since this one opened it.
    file_.seek(size);
    if (size > 0 && readable_ && !endsInLineEnd(size))
        text.prepend('\n');
    std::optional<QString> failure = writeAll(text);
    if (failure && !file_.resize(size))
        *failure += "; the part of the line written could not be taken back (" + file_.errorString() + ")";
    if (locked)
        platform::unlockFile(file_.handle());
    return failure;
}

std::optional<QString> JobRecord::writeAll(const QByteArray& text)
{
    // A short write says nothing of why; the next one fails with the system's reason.
    for (qint64 done = 0; done < text.size();) {
        const qint64 written = file_.write(text.constData() + done, text.size() - done);
        if (written <= 0)
            return file_.errorString();
        done += written;
    }
    return std::nullopt;
}

bool JobRecord::endsInLineEnd(qint64 size)
{
    char last = '\n';
    return !file_.seek(size - 1) || file_.read(&last, 1) != 1 || last == '\n';
}

FileFacts JobRecord::describeFile(const QString& path)
{
    FileFacts facts;
    facts.path = path;
    // A device (/dev/zero) never ends, and a file far beyond any image is not worth the wait.
    const QFileInfo info(path);
    if (!info.isFile())
        return facts;
    facts.size = info.size();
    QFile file(path);
    if (facts.size > image::kMaxHexFileSize || !file.open(QIODevice::ReadOnly))
        return facts;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return facts;
    facts.size = file.size();
    facts.sha256 = QString::fromLatin1(hash.result().toHex());
    return facts;
}

std::uint32_t JobRecord::crc32(const char* data, std::size_t size, std::uint32_t crc)
{
    static const std::array<std::uint32_t, 256> table = makeCrcTable();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = table[(crc ^ static_cast<unsigned char>(data[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t JobRecord::gridCrc32(const image::HexGrid& grid, int bytes)
{
    std::uint32_t crc = 0;
    for (int address = 0; address < bytes && address < image::kImageSize; ++address) {
        const std::string& cell = grid.text(image::rowOf(address), image::columnOf(address));
        const bool byte = cell.size() == 2 && image::isHexDigit(cell[0]) && image::isHexDigit(cell[1]);
        const char value = static_cast<char>(image::readHexField(cell));
        crc = byte ? crc32(&value, 1, crc) : crc32(cell.data(), cell.size(), crc);
    }
    return crc;
}

} // namespace brindle::station
