// What the board operations tell the window as they run: the log, the boxes, the beep, the
// title, the device button, the grid, the progress bar and the repaints while the board works.
#include "main_window.h"

#include "exact_title.h"
#include "hex_grid_view.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QProgressBar>
#include <QRadioButton>

#include <algorithm>

namespace brindle::app {

void Form1::log(const std::string& line)
{
    logMessage = QString::fromStdString(line);
    msgout();
}

void Form1::messageBox(const std::string& text, link::Icon icon, const std::string& title)
{
    const auto shown = clock_();
    op_.messageBox(QString::fromStdString(text), icon, QString::fromStdString(title));
    boxesOpen_ += clock_() - shown;
}

void Form1::beep()
{
    op_.beep();
}

void Form1::setTitle(const std::string& title)
{
    setExactTitle(this, QString::fromStdString(title));
}

void Form1::selectDevice(int row)
{
    // An exclusive group cannot turn its last button off.
    deviceGroup_->setExclusive(false);
    for (std::size_t i = 0; i < deviceButtons.size(); ++i)
        if (deviceButtons[i]) // a chip the window has no place for has no button
            deviceButtons[i]->setChecked(int(i) == row);
    deviceGroup_->setExclusive(true);
}

void Form1::progress(int done, int total)
{
    if (total <= 0) {
        progressBar->hide();
        return;
    }
    progressBar->setRange(0, total);
    progressBar->setValue(std::clamp(done, 0, total));
    progressBar->show();
}

void Form1::cellsChanged(int firstRow, int lastRow)
{
    MSFG->cells().rowsRewritten(firstRow, lastRow);
}

void Form1::markMismatches(const std::vector<link::CellMismatch>& cells)
{
    std::vector<std::pair<int, int>> where;
    std::vector<std::string> chip;
    where.reserve(cells.size());
    chip.reserve(cells.size());
    for (const link::CellMismatch& cell : cells) {
        where.emplace_back(cell.row, cell.column);
        chip.push_back(cell.chip);
    }
    MSFG->cells().markMismatches(where, chip);
}

void Form1::idle()
{
    // Repaint and serve the board's timers, but take no click or key meanwhile.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace brindle::app
