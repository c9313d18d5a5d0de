#include "job_image.h"

#include "hex_file.h"
#include "standard_output.h"

#include <QFile>


namespace brindle::cli {

namespace {

bool readBinary(const QString& path, image::CodeBuffer* buffer, int* loadedEnd, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read %1: %2.").arg(path, file.errorString());
        return false;
    }
    if (file.size() > image::kImageSize) {
        *error = QStringLiteral("%1 is %2 bytes long; the code image holds %3.").arg(path).arg(file.size()).arg(image::kImageSize);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError || bytes.size() != file.size()) {
        *error = QStringLiteral("Cannot read %1: %2.").arg(path, file.errorString());
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), buffer->data());
    *loadedEnd = int(bytes.size());
    return true;
}

} // namespace

JobImage loadJobImage(const QString& path, bool binary)
{
    JobImage job;
    job.file = link::JobRecord::describeFile(path); // the record names a refused file too
    image::CodeBuffer buffer; // all FF, as LOAD with "FF" ticked
    if (binary) {
        if (!readBinary(path, &buffer, &job.loadedEnd, &job.error))
            return job;
    } else {
        const image::HexReadResult hex = image::readHexFile(path);
        if (hex.problem) {
            job.error = hex.problem->message;
            return job;
        }
        image::applyHex(hex.data, buffer);
        job.loadedEnd = hex.data.loadedEnd;
        job.warning = hex.warning;
    }
    job.programLength = job.loadedEnd > 0 ? image::programLengthFor(job.loadedEnd) : 0;
    auto grid = std::make_shared<image::HexGrid>();
    grid->redraw(buffer);
    job.grid = grid;
    return job;
}

bool saveChipImage(const image::HexGrid& grid, int bytes, const QString& path, bool binary, QString* error)
{
    std::string content;
    if (binary) {
        content.reserve(std::size_t(bytes));
        for (int address = 0; address < bytes; ++address) {
            const std::string& cell = grid.text(image::rowOf(address), image::columnOf(address));
            if (cell.size() != 2 || !image::isHexDigit(cell[0]) || !image::isHexDigit(cell[1])) {
                *error = QStringLiteral("The chip's byte at %1H did not come as two hexadecimal digits; %2 was not written.")
                             .arg(QString::fromStdString(image::fixedHex(unsigned(address), 4)), path);
                return false;
            }
            content += char(image::readHexField(cell));
        }
    } else {
        content = image::hexRecords(grid, bytes / image::kBytesPerRow);
    }
    if (path == QLatin1String("-")) {
        if (!link::writeStandardOutput(content)) {
            *error = QStringLiteral("Cannot write the chip's contents to standard output.");
            return false;
        }
        return true;
    }
    if (const auto failure = image::writeFileAtomically(path, content)) {
        *error = QStringLiteral("Cannot write %1: %2.").arg(path, *failure);
        return false;
    }
    return true;
}

} // namespace brindle::cli
