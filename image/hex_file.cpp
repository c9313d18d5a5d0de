#include "hex_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <cstring>

namespace brindle::image {

namespace {

constexpr char kUpperDigits[] = "0123456789ABCDEF";
constexpr std::uint8_t kNoDigit = 0xFF;

constexpr std::array<std::uint8_t, 256> makeDigitTable()
{
    std::array<std::uint8_t, 256> t{};
    for (auto& v : t)
        v = kNoDigit;
    for (int c = '0'; c <= '9'; ++c)
        t[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) {
        t[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - 'A' + 10);
        t[static_cast<std::size_t>(c - 'A' + 'a')] = static_cast<std::uint8_t>(c - 'A' + 10);
    }
    return t;
}
constexpr auto kDigitValue = makeDigitTable();

enum CharClass : std::uint8_t { Plain, LineEnd, Control };

constexpr std::array<std::uint8_t, 256> makeClassTable()
{
    std::array<std::uint8_t, 256> t{};
    for (std::size_t c = 0; c < 256; ++c)
        t[c] = (c < 0x20 || c >= 0x7F) ? Control : Plain;
    t['\t'] = Plain;
    t['\r'] = LineEnd;
    t['\n'] = LineEnd;
    return t;
}
constexpr auto kCharClass = makeClassTable();

std::uint8_t digitOf(char c) { return kDigitValue[static_cast<unsigned char>(c)]; }

// Only for text already checked to be hexadecimal digits.
std::uint8_t pairAt(const char* p)
{
    return static_cast<std::uint8_t>(digitOf(p[0]) << 4 | digitOf(p[1]));
}

QString hex2(unsigned v) { return QString::fromStdString(fixedHex(v, 2)); }
QString hex4(unsigned v) { return QString::fromStdString(fixedHex(v, 4)); }

QString describeChar(char c)
{
    if (c == ' ')
        return QStringLiteral("a blank");
    if (c == '\t')
        return QStringLiteral("a tab");
    return QStringLiteral("'%1'").arg(QChar::fromLatin1(c));
}

struct Fault {
    HexError error;
    QString reason;
};

// A line that passed every check of its own: fields and all bytes decoded.
struct Record {
    int count = 0;
    int address = 0;
    int type = 0;
    std::array<std::uint8_t, 255 + 5> bytes{}; // count, address (2), type, data, checksum
    const std::uint8_t* data() const { return bytes.data() + 4; }
};

std::optional<Fault> checkRecord(std::string_view line, Record& rec)
{
    if (line[0] != ':')
        return Fault{HexError::NoStartMark,
                     QStringLiteral("the line starts with %1 instead of ':'.").arg(describeChar(line[0]))};
    for (std::size_t i = 1; i < line.size(); ++i)
        if (digitOf(line[i]) == kNoDigit)
            return Fault{HexError::BadDigit, QStringLiteral("position %1 holds %2, not a hexadecimal digit.")
                                                 .arg(i + 1)
                                                 .arg(describeChar(line[i]))};
    if (line.size() < 11)
        return Fault{HexError::BadLength,
                     QStringLiteral("the line has %1 characters; a record needs at least 11.").arg(line.size())};
    rec.count = pairAt(line.data() + 1);
    const std::size_t needed = 11 + 2 * static_cast<std::size_t>(rec.count);
    if (line.size() != needed)
        return Fault{HexError::BadLength, QStringLiteral("the line has %1 characters; its byte count %2 needs %3.")
                                              .arg(line.size())
                                              .arg(hex2(static_cast<unsigned>(rec.count)))
                                              .arg(needed)};
    const std::size_t total = static_cast<std::size_t>(rec.count) + 5;
    unsigned sum = 0;
    for (std::size_t k = 0; k < total; ++k) {
        rec.bytes[k] = pairAt(line.data() + 1 + 2 * k);
        sum += rec.bytes[k];
    }
    if ((sum & 0xFF) != 0) {
        const unsigned found = rec.bytes[total - 1];
        const unsigned wanted = (found - sum) & 0xFF;
        return Fault{HexError::BadChecksum,
                     QStringLiteral("checksum is %1, the record needs %2.").arg(hex2(found), hex2(wanted))};
    }
    rec.address = rec.bytes[1] << 8 | rec.bytes[2];
    rec.type = rec.bytes[3];
    return std::nullopt;
}

std::string_view withoutTrailingBlanks(std::string_view line)
{
    std::size_t n = line.size();
    while (n > 0 && (line[n - 1] == ' ' || line[n - 1] == '\t'))
        --n;
    return line.substr(0, n);
}

class HexParser {
public:
    HexParser(std::string_view text, const QString& fileName) : text_(text), fileName_(fileName) {}
    HexReadResult run();

private:
    std::optional<Fault> store(const Record& rec);
    void appendData(const Record& rec);
    HexReadResult reject(const Fault& fault, int line) const;

    std::string_view text_;
    const QString& fileName_;
    HexData data_;
};

HexReadResult HexParser::run()
{
    std::size_t pos = 0;
    if (text_.substr(0, 3) == "\xEF\xBB\xBF")
        pos = 3;
    std::size_t end = text_.size();
    while (end > pos && text_[end - 1] == '\x1A') // DOS end-of-file mark
        --end;
    data_.bytes.reserve((end - pos) / 2);

    int lineNumber = 0, lastRecordLine = 0;
    bool anyRecord = false, ended = false;
    while (pos < end) {
        ++lineNumber;
        std::size_t stop = pos;
        while (stop < end && kCharClass[static_cast<unsigned char>(text_[stop])] == Plain)
            ++stop;
        if (stop < end && kCharClass[static_cast<unsigned char>(text_[stop])] == Control) {
            const auto byte = static_cast<unsigned char>(text_[stop]);
            return reject({HexError::NotText, QStringLiteral("position %1 holds the byte %2, which is not text: "
                                                             "this is not an Intel HEX file.")
                                                  .arg(stop - pos + 1)
                                                  .arg(hex2(byte))},
                          lineNumber);
        }
        const std::string_view line = withoutTrailingBlanks(text_.substr(pos, stop - pos));
        pos = stop + ((stop + 1 < end && text_[stop] == '\r' && text_[stop + 1] == '\n') ? 2 : 1);
        if (line.empty())
            continue;
        Record rec;
        if (auto fault = checkRecord(line, rec))
            return reject(*fault, lineNumber);
        anyRecord = true;
        lastRecordLine = lineNumber;
        if (rec.type == 1) { // end of data: nothing after it is read
            ended = true;
            break;
        }
        if (auto fault = store(rec))
            return reject(*fault, lineNumber);
    }
    if (!anyRecord)
        return {HexData{}, HexProblem{HexError::NoRecords, 0,
                                      QStringLiteral("%1: the file holds no records (did its build fail?).").arg(fileName_)}};
    if (!ended)
        return {std::move(data_), std::nullopt,
                QStringLiteral("%1: no end record (:00000001FF) after line %2: the file may have been cut off.")
                    .arg(fileName_)
                    .arg(lastRecordLine)};
    return {std::move(data_), std::nullopt};
}

std::optional<Fault> HexParser::store(const Record& rec)
{
    switch (rec.type) {
    case 0:
        if (rec.address + rec.count > kImageSize)
            return Fault{HexError::PastEnd, QStringLiteral("%1 bytes at %2 would run past FFFF.")
                                                .arg(rec.count)
                                                .arg(hex4(static_cast<unsigned>(rec.address)))};
        appendData(rec);
        return std::nullopt;
    case 2:
    case 4: {
        if (rec.count != 2)
            return Fault{HexError::BadRecordType,
                         QStringLiteral("a record of type %1 carries 2 bytes, this one %2.")
                             .arg(hex2(static_cast<unsigned>(rec.type)))
                             .arg(rec.count)};
        const unsigned base = static_cast<unsigned>(rec.data()[0] << 8 | rec.data()[1]);
        if (base != 0)
            return Fault{HexError::NonZeroBase,
                         QStringLiteral("record type %1 sets the base %2; the code memory ends at FFFF, "
                                        "so only 0000 fits.")
                             .arg(hex2(static_cast<unsigned>(rec.type)), hex4(base))};
        return std::nullopt;
    }
    case 3:
    case 5: // start address: nothing to store
        return std::nullopt;
    default:
        return Fault{HexError::BadRecordType, QStringLiteral("record type %1 is not one of 00 to 05.")
                                                  .arg(hex2(static_cast<unsigned>(rec.type)))};
    }
}

void HexParser::appendData(const Record& rec)
{
    if (rec.count == 0)
        return;
    const auto offset = static_cast<std::uint32_t>(data_.bytes.size());
    data_.bytes.insert(data_.bytes.end(), rec.data(), rec.data() + rec.count);
    // Consecutive records usually continue each other: one run for them keeps applyHex a few copies.
    if (!data_.runs.empty()) {
        HexData::Run& last = data_.runs.back();
        if (last.address + static_cast<int>(last.length) == rec.address && last.offset + last.length == offset) {
            last.length += static_cast<std::uint32_t>(rec.count);
            data_.loadedEnd = std::max(data_.loadedEnd, rec.address + rec.count);
            return;
        }
    }
    data_.runs.push_back({rec.address, offset, static_cast<std::uint32_t>(rec.count)});
    data_.loadedEnd = std::max(data_.loadedEnd, rec.address + rec.count);
}

HexReadResult HexParser::reject(const Fault& fault, int line) const
{
    return {HexData{}, HexProblem{fault.error, line,
                                  QStringLiteral("%1, line %2: %3").arg(fileName_).arg(line).arg(fault.reason)}};
}

void appendHex4(std::string& out, unsigned v)
{
    for (int shift = 12; shift >= 0; shift -= 4)
        out.push_back(kUpperDigits[(v >> shift) & 0xF]);
}

// Positions 2 to 41 of a record line read as 20 hexadecimal pairs; a pair that is not two digits
// reads as a text field would, so odd cell texts still give a checksum.
std::uint16_t recordSum(std::string_view line)
{
    std::uint16_t sum = 0;
    for (std::size_t j = 1; j < 41; j += 2) {
        const std::string_view pair = j < line.size() ? line.substr(j, 2) : std::string_view{};
        if (pair.size() == 2 && digitOf(pair[0]) != kNoDigit && digitOf(pair[1]) != kNoDigit)
            sum = static_cast<std::uint16_t>(sum + pairAt(pair.data()));
        else
            sum = static_cast<std::uint16_t>(sum + readHexField(pair));
    }
    return sum;
}

} // namespace

HexReadResult parseHex(std::string_view text, const QString& fileName)
{
    return HexParser(text, fileName).run();
}

HexReadResult readHexFile(const QString& path)
{
    const QString name = QDir::toNativeSeparators(path); // as the operator knows it
    auto problem = [&name](HexError error, const QString& what) {
        return HexReadResult{HexData{}, HexProblem{error, 0, name + QStringLiteral(": ") + what}};
    };
    const QFileInfo info(path);
    // Opening a named pipe waits for a writer and a device may never end: only files are read.
    if (info.exists() && !info.isFile())
        return problem(HexError::CannotOpen, QStringLiteral("cannot open the file: it is not a regular file."));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return problem(HexError::CannotOpen, QStringLiteral("cannot open the file: %1").arg(file.errorString()));
    if (file.size() > kMaxHexFileSize)
        return problem(HexError::TooLarge, QStringLiteral("the file is larger than %1 bytes, far more than a HEX file "
                                                          "of a 64 KB image can hold.")
                                               .arg(kMaxHexFileSize));
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return problem(HexError::CannotRead, QStringLiteral("cannot read the file: %1").arg(file.errorString()));
    return parseHex(std::string_view(content.constData(), static_cast<std::size_t>(content.size())), name);
}

void applyHex(const HexData& data, CodeBuffer& buffer)
{
    for (const HexData::Run& run : data.runs)
        std::memcpy(buffer.data() + run.address, data.bytes.data() + run.offset, run.length);
}

std::string hexRecords(const HexGrid& grid, int rows)
{
    rows = std::clamp(rows, 0, kGridRows - 1);
    std::string out;
    out.reserve(static_cast<std::size_t>(rows) * 45 + 15);
    for (int g = 0; g < rows; ++g) {
        const std::size_t start = out.size();
        out += ":10";
        appendHex4(out, static_cast<unsigned>(16 * g));
        out += "00";
        for (int c = 1; c < kGridColumns; ++c)
            out += grid.text(g + 1, c);
        // The checksum is the two's complement of the low byte of the sum, so 00 when that byte is 0.
        const unsigned chk = ((~static_cast<unsigned>(recordSum(std::string_view(out).substr(start)))) & 255u) + 1u;
        out.push_back(kUpperDigits[(chk >> 4) & 0xF]);
        out.push_back(kUpperDigits[chk & 0xF]);
        out += "\r\n";
    }
    out += ":00000001FF\r\n\r\n";
    return out;
}

namespace {

// A short write says nothing of why; the next one fails with the system's reason.
bool writeAll(QFileDevice& file, const std::string& content)
{
    const auto size = static_cast<qint64>(content.size());
    for (qint64 done = 0; done < size;) {
        const qint64 written = file.write(content.data() + done, size - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

std::optional<QString> writeFileAtomically(const QString& path, const std::string& content)
{
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir()) {
        // A device or a pipe (/dev/stdout) is written to as it stands: replacing it would put a
        // file in its place, for root even in /dev.
        QFile device(path);
        if (!device.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !writeAll(device, content))
            return device.errorString();
        return std::nullopt;
    }
    QSaveFile file(path);
    // Unbuffered: a buffered write that the disk has no room for fails unseen when it is flushed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return file.errorString();
    if (!writeAll(file, content)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace brindle::image
