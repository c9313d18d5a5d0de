#include "job_image.h"

#include "file_lock.h"
#include "hex_file.h"
#include "standard_output.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>


namespace brindle::cli {

namespace {

bool readBinary(const QString& path, image::CodeBuffer* buffer, int* loadedEnd, QString* error)
{
    // Opening a named pipe waits for a writer and a device may never end: only files are read.
    if (const QFileInfo info(path); info.exists() && !info.isFile()) {
        *error = QStringLiteral("Cannot read %1: it is not a regular file.").arg(path);
        return false;
    }
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

// The pipe read's check found a reader on, kept open for the contents.
struct HeldPipe {
    QString path;
    int descriptor = -1;
    void reset()
    {
        if (descriptor >= 0)
            QFile().open(descriptor, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle); // closes it
        descriptor = -1;
        path.clear();
    }
} heldPipe;

} // namespace

JobImage loadJobImage(const QString& path, bool binary)
{
    JobImage job;
    job.file = station::JobRecord::describeFile(path); // the record names a refused file too
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

QString readTargetProblem(const QString& path)
{
    if (path == QLatin1String("-"))
        return {};
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir()) {
        // Held open until the chip's contents go out: closed in between, it would end the reader.
        heldPipe.reset();
        const platform::PipeOpen open = platform::openPipeForWriting(QFile::encodeName(path).toStdString(), &heldPipe.descriptor);
        if (open == platform::PipeOpen::Opened)
            heldPipe.path = path;
        return open == platform::PipeOpen::NoReader ? QStringLiteral("Cannot write %1: no program is reading %1.").arg(path)
                                                : QString();
    }
    if (target.isDir())
        return QStringLiteral("Cannot write %1: it is a folder.").arg(path);
    const QDir folder = target.absoluteDir();
    if (!folder.exists())
        return QStringLiteral("Cannot write %1: there is no folder %2.").arg(path, QDir::toNativeSeparators(folder.path()));
    // The file is replaced through a new one beside it: that must be possible.
    QTemporaryFile probe(folder.filePath(QStringLiteral(".brindle-XXXXXX")));
    if (!probe.open())
        return QStringLiteral("Cannot write %1: %2.").arg(path, probe.errorString());
    return {};
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
        if (!platform::writeStandardOutput(content)) {
            *error = QStringLiteral("Cannot write the chip's contents to standard output.");
            return false;
        }
        return true;
    }
    int pipe = -1;
    const platform::PipeOpen open = heldPipe.path == path ? platform::PipeOpen::Opened
                                                     : platform::openPipeForWriting(QFile::encodeName(path).toStdString(), &pipe);
    if (heldPipe.path == path)
        std::swap(pipe, heldPipe.descriptor);
    heldPipe.reset();
    switch (open) {
    case platform::PipeOpen::NoReader:
        *error = QStringLiteral("Cannot write %1: no program is reading %1.").arg(path);
        return false;
    case platform::PipeOpen::Opened: {
        QFile file;
        if (!file.open(pipe, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)
            || file.write(content.data(), qint64(content.size())) != qint64(content.size())) {
            *error = QStringLiteral("Cannot write %1: %2.").arg(path, file.errorString());
            return false;
        }
        return true;
    }
    case platform::PipeOpen::NotPipe: break;
    }
    if (const auto failure = image::writeFileAtomically(path, content)) {
        *error = QStringLiteral("Cannot write %1: %2.").arg(path, *failure);
        return false;
    }
    return true;
}

} // namespace brindle::cli
