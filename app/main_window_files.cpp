// LOAD and SAVE, and a HEX file dropped on the window.
#include "main_window.h"

#include "exact_title.h"
#include "hex_file.h"
#include "hex_grid_view.h"

#include <QCheckBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

#include <cstdint>

namespace brindle::app {

void Form1::Load_Click()
{
    loadedEnd = 0;
    MSFG->hide();
    if (!autoReload) {
        const std::optional<QString> chosen = op_.chooseFile(Operator::FileMode::Open);
        if (!chosen) {
            loadAccepted = false;
            MSFG->show();
            return;
        }
        loadAccepted = true;
        hexFileName = *chosen;
    }
    if (hexFileName.isEmpty()) {
        MSFG->show();
        op_.beep();
        return;
    }

    // The whole file is checked before anything changes.
    const image::HexReadResult file = image::readHexFile(hexFileName);
    if (file.problem) {
        loadAccepted = false; // AUTO must not program the image that is still there
        MSFG->show();
        op_.messageBox(file.problem->message, link::Icon::Exclamation, QStringLiteral("LOAD"));
        op_.beep();
        return;
    }
    if (ticked(Fillchk)) {
        // buffer_initial without its own redraw: the one below draws every cell anyway.
        codeBuffer.fill(0xFF);
        grid.setFormat(image::kGridFormat);
    }
    image::applyHex(file.data, codeBuffer);
    loadedEnd = file.data.loadedEnd;
    programLength = image::programLengthFor(loadedEnd);
    showLoadedTitle();
    grid.redraw(codeBuffer);
    MSFG->cells().markMismatches({});
    MSFG->cells().redraw();
    MSFG->show();
    gridFile_ = hexFileName;
    gridFileWarning_ = file.warning;
    op_.beep();
}

void Form1::openFile(const QString& path)
{
    // As the dialog gives it: a full path, which the title shows and AUTO reloads.
    hexFileName = QFileInfo(path).absoluteFilePath();
    loadAccepted = true;
    autoReload = true;
    Load_Click();
    autoReload = false;
}

namespace {
// The one local file a drag carries, or nothing: several files or a web address are not taken.
QString droppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().first().isLocalFile())
        return {};
    return data->urls().first().toLocalFile();
}
} // namespace

void Form1::dragEnterEvent(QDragEnterEvent* event)
{
    if (!isBusy() && !droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event)
{
    const QString file = droppedFile(event->mimeData());
    if (isBusy() || file.isEmpty())
        return;
    event->acceptProposedAction();
    openFile(file);
}

void Form1::showLoadedTitle()
{
    const auto loaded = static_cast<std::uint32_t>(loadedEnd);
    const auto length = static_cast<std::uint32_t>(programLength);
    setExactTitle(this, QDir::toNativeSeparators(hexFileName) + QStringLiteral(" - ")
                   + QString::fromStdString(image::blankDecimal(loaded)) + QStringLiteral(" Bytes (")
                   + QString::fromStdString(image::hexText(length)) + QStringLiteral("H)"));
}

void Form1::Save_Click()
{
    const int size = deviceSize != 0 ? deviceSize : image::kImageSize;
    const int rows = size / image::kBytesPerRow;
    // After a READ that failed part-way some cells are empty or half-filled: such an image is
    // not saved, and the operator learns it before choosing a file.
    const int bad = grid.firstMalformedCell(rows);
    if (bad >= 0) {
        op_.messageBox(QStringLiteral("The cell at address %1H does not hold two hexadecimal digits: "
                                      "nothing was saved. READ the chip or LOAD a file again.")
                           .arg(QString::fromStdString(image::fixedHex(std::uint32_t(bad), 4))),
                       link::Icon::Exclamation, QStringLiteral("SAVE"));
        op_.beep();
        return;
    }
    const std::optional<QString> chosen = op_.chooseFile(Operator::FileMode::Save);
    if (!chosen)
        return;
    if (chosen->isEmpty()) {
        op_.beep();
        return;
    }
    const QString path = QDir::toNativeSeparators(*chosen);
    if (const std::optional<QString> reason = image::writeFileAtomically(*chosen, image::hexRecords(grid, rows))) {
        op_.messageBox(QStringLiteral("Cannot save %1:\n%2").arg(path, *reason), link::Icon::Exclamation,
                       QStringLiteral("SAVE"));
        op_.beep();
        return;
    }
    setExactTitle(this, path);
    op_.beep();
}

} // namespace brindle::app
