// The hex-dump grid's cells as a table model. The cell texts live in image::HexGrid; the
// model only reads them, so a full redraw is one reset, not 69,632 signals.
#pragma once

#include "code_image.h"

#include <QAbstractTableModel>
#include <QBrush>

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace brindle::app {

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(const image::HexGrid& grid, QObject* parent = nullptr);

    // Model rows 0..4095 are grid rows 1..4096, model columns 0..15 grid columns 1..16; the
    // header row and the label column of the grid are the view's headers.
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Every cell and header text may have changed.
    void redraw();
    // Grid rows first..last were rewritten.
    void rowsRewritten(int firstRow, int lastRow);

    // Grid cells (row, column) to highlight, with what the chip sent for each (shown as the
    // cell's tooltip); an empty list clears the marks.
    void markMismatches(const std::vector<std::pair<int, int>>& cells, const std::vector<std::string>& chipTexts = {});
    bool isMarked(int row, int column) const;
    // The view's area outside the cells has a colour of its own, so the cells carry theirs.
    void setBrushes(const QBrush& cell, const QBrush& mismatch)
    {
        cellBrush_ = cell;
        mismatchBrush_ = mismatch;
    }

private:
    static int markIndex(int row, int column) { return (row - 1) * image::kBytesPerRow + (column - 1); }

    const image::HexGrid& grid_;
    std::vector<bool> marks_;
    std::unordered_map<int, std::string> chipTexts_; // by markIndex
    int markCount_ = 0;
    QBrush cellBrush_;
    QBrush mismatchBrush_;
};

} // namespace brindle::app
