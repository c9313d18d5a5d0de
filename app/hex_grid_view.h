// MSFG: the hex-dump grid as the operator sees it. Row 0 and column 0 of the grid are the
// view's headers; the cells are read-only.
#pragma once

#include "code_image.h"
#include "grid_model.h"

#include <QTableView>

namespace brindle::app {

class HexGridView : public QTableView {
    Q_OBJECT
public:
    // The font is sized to fit the grid's format into the given place.
    HexGridView(const image::HexGrid& grid, QRect geometry, QWidget* parent = nullptr);

    GridModel& cells() { return model_; }
    // Column widths from the grid's format (characters) in the grid's font.
    void applyColumnWidths(const image::HexGrid& grid);

private:
    // Width inside the frame and beside the vertical scroll bar.
    int cellAreaWidth() const;

    GridModel model_;
};

} // namespace brindle::app
