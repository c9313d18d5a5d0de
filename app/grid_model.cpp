#include "grid_model.h"

#include <QColor>

#include <algorithm>

namespace brindle::app {

using image::kBytesPerRow;
using image::kGridRows;

GridModel::GridModel(const image::HexGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid),
      marks_(static_cast<std::size_t>(image::kImageSize), false), mismatchBrush_(QColor(255, 160, 160))
{
}

int GridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kGridRows - 1;
}

int GridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kBytesPerRow;
}

QVariant GridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row() + 1;
    const int column = index.column() + 1;
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromLatin1(grid_.text(row, column));
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::BackgroundRole:
        if (markCount_ > 0 && isMarked(row, column))
            return mismatchBrush_;
        return cellBrush_.style() == Qt::NoBrush ? QVariant() : QVariant(cellBrush_);
    case Qt::ToolTipRole:
        if (markCount_ > 0 && isMarked(row, column)) {
            const auto chip = chipTexts_.find(markIndex(row, column));
            if (chip != chipTexts_.end())
                return chip->second.empty() ? QStringLiteral("Chip: nothing received")
                                            : QStringLiteral("Chip: %1").arg(QString::fromLatin1(chip->second));
        }
        return {};
    default:
        return {};
    }
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole || section < 0)
        return {};
    if (orientation == Qt::Horizontal)
        return section < kBytesPerRow ? QString::fromLatin1(grid_.text(0, section + 1)) : QVariant();
    return section < kGridRows - 1 ? QString::fromLatin1(grid_.text(section + 1, 0)) : QVariant();
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const
{
    // Selectable for a look, never editable.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void GridModel::redraw()
{
    beginResetModel();
    endResetModel();
}

void GridModel::rowsRewritten(int firstRow, int lastRow)
{
    firstRow = std::max(firstRow, 1);
    lastRow = std::min(lastRow, kGridRows - 1);
    if (firstRow > lastRow)
        return;
    emit dataChanged(index(firstRow - 1, 0), index(lastRow - 1, kBytesPerRow - 1), {Qt::DisplayRole});
}

void GridModel::markMismatches(const std::vector<std::pair<int, int>>& cells, const std::vector<std::string>& chipTexts)
{
    if (markCount_ == 0 && cells.empty())
        return;
    std::fill(marks_.begin(), marks_.end(), false);
    chipTexts_.clear();
    markCount_ = 0;
    for (std::size_t k = 0; k < cells.size(); ++k) {
        const auto [row, column] = cells[k];
        if (row < 1 || row >= kGridRows || column < 1 || column > kBytesPerRow)
            continue;
        const auto i = static_cast<std::size_t>(markIndex(row, column));
        if (k < chipTexts.size())
            chipTexts_[markIndex(row, column)] = chipTexts[k];
        if (!marks_[i]) {
            marks_[i] = true;
            ++markCount_;
        }
    }
    emit dataChanged(index(0, 0), index(kGridRows - 2, kBytesPerRow - 1), {Qt::BackgroundRole});
}

bool GridModel::isMarked(int row, int column) const
{
    if (row < 1 || row >= kGridRows || column < 1 || column > kBytesPerRow)
        return false;
    return marks_[static_cast<std::size_t>(markIndex(row, column))];
}

} // namespace brindle::app
