#include "serial_format.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>

namespace brindle::station {

namespace {

struct KindName {
    SerialFormat::Kind kind;
    const char* name;
    int widest; // bytes: what a 63-bit number needs at most
};

const KindName kKinds[] = {
    {SerialFormat::Kind::Little, "le", 8},
    {SerialFormat::Kind::Big, "be", 8},
    {SerialFormat::Kind::Bcd, "bcd", 9},
    {SerialFormat::Kind::Ascii, "ascii", 18},
};

} // namespace

std::optional<SerialFormat> parseSerialFormat(const QString& text, QString* error)
{
    const int colon = text.indexOf(':');
    const QString kind = text.left(colon), width = text.mid(colon + 1);
    for (const KindName& k : kKinds) {
        if (colon < 0 || kind != QLatin1String(k.name))
            continue;
        bool ok = false;
        const int bytes = width.toInt(&ok);
        if (ok && bytes >= 1 && bytes <= k.widest)
            return SerialFormat{k.kind, bytes};
        *error = QStringLiteral("--serial-format %1: the width of %2 is 1 to %3%4, not \"%5\".")
                     .arg(text, kind).arg(k.widest).arg(k.kind == SerialFormat::Kind::Ascii ? " digits" : " bytes", width);
        return std::nullopt;
    }
    *error = "--serial-format is le:W, be:W, bcd:W or ascii:W (W bytes or digits), not \"" + text + "\".";
    return std::nullopt;
}

QString formatName(const SerialFormat& format)
{
    for (const KindName& k : kKinds)
        if (k.kind == format.kind)
            return QStringLiteral("%1:%2").arg(QLatin1String(k.name)).arg(format.width);
    return QStringLiteral("list:%1").arg(format.width);
}

qint64 largestNumber(const SerialFormat& format)
{
    int digits = 0;
    switch (format.kind) {
    case SerialFormat::Kind::Little:
    case SerialFormat::Kind::Big:
        return format.width >= 8 ? std::numeric_limits<qint64>::max() : (qint64(1) << (8 * format.width)) - 1;
    case SerialFormat::Kind::Bcd: digits = 2 * format.width; break;
    case SerialFormat::Kind::Ascii: digits = format.width; break;
    case SerialFormat::Kind::List: return -1;
    }
    qint64 largest = 1;
    for (int i = 0; i < digits; ++i)
        largest *= 10;
    return largest - 1;
}

std::optional<QByteArray> encodeNumber(qint64 number, const SerialFormat& format)
{
    if (number < 0 || number > largestNumber(format))
        return std::nullopt;
    QByteArray bytes(format.width, '\0');
    quint64 rest = quint64(number);
    for (int i = format.width - 1; i >= 0; --i) {
        switch (format.kind) {
        case SerialFormat::Kind::Little: bytes[format.width - 1 - i] = char(rest & 0xFF), rest >>= 8; break;
        case SerialFormat::Kind::Big: bytes[i] = char(rest & 0xFF), rest >>= 8; break;
        case SerialFormat::Kind::Bcd: bytes[i] = char(rest % 10 | (rest / 10 % 10) << 4), rest /= 100; break;
        case SerialFormat::Kind::Ascii: bytes[i] = char('0' + rest % 10), rest /= 10; break;
        case SerialFormat::Kind::List: return std::nullopt;
        }
    }
    return bytes;
}

QString numberText(qint64 number) { return QStringLiteral("%1").arg(number, 6, 10, QLatin1Char('0')); }

QString bytesText(const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex(':').toUpper()); }

std::optional<SerialList> loadSerialList(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read the serial list %1: %2.").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray content = file.readAll();
    SerialList list;
    list.sha256 = QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());
    static const QRegularExpression pairs(QStringLiteral("^[0-9A-Fa-f]{2}(:[0-9A-Fa-f]{2})*$"));
    static const QRegularExpression plain(QStringLiteral("^([0-9A-Fa-f]{2})+$"));
    const QList<QByteArray> lines = content.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]).trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const auto refuse = [&](const QString& why) {
            *error = QStringLiteral("The serial list %1, line %2: %3; nothing was loaded.").arg(path).arg(i + 1).arg(why);
            return std::nullopt;
        };
        if (!pairs.match(line).hasMatch() && !plain.match(line).hasMatch())
            return refuse("\"" + line.left(40) + "\" is not hexadecimal bytes (as 00:1A:2B or 001A2B)");
        const QByteArray value = QByteArray::fromHex(line.toLatin1().replace(':', ""));
        if (!list.values.empty() && value.size() != list.values.front().size())
            return refuse(QStringLiteral("%1 bytes where the lines before have %2").arg(value.size()).arg(list.values.front().size()));
        list.values.push_back(value);
    }
    if (list.values.empty()) {
        *error = QStringLiteral("The serial list %1 holds no value; nothing was loaded.").arg(path);
        return std::nullopt;
    }
    return list;
}

void putSerial(image::HexGrid& grid, int address, const QByteArray& bytes)
{
    for (int i = 0; i < bytes.size() && address + i < image::kImageSize; ++i)
        grid.setText(image::rowOf(address + i), image::columnOf(address + i), image::fixedHex(quint8(bytes[i]), 2));
}

} // namespace brindle::station
