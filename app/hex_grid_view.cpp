#include "hex_grid_view.h"

#include "fonts.h"

#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>
#include <array>
#include <cmath>

namespace brindle::app {

namespace {
// Least room beside a column's text, in pixels.
constexpr int kMinMargin = 2;

// Paints a cell's text centred without the style's text margins: at 12 points two digits
// and those margins would not fit the columns that 409 pixels allow, and the style would
// elide the text.
class CellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const bool selected = opt.state & QStyle::State_Selected;
        painter->save();
        if (selected)
            painter->fillRect(opt.rect, opt.palette.brush(QPalette::Highlight));
        else if (opt.backgroundBrush.style() != Qt::NoBrush)
            painter->fillRect(opt.rect, opt.backgroundBrush);
        painter->setFont(opt.font);
        painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(opt.rect, Qt::AlignCenter, opt.text);
        painter->restore();
    }
};

// Both headers have a fixed size; the default size hint would measure the labels of
// hundreds of rows each time the view lays itself out.
class FixedHeader : public QHeaderView {
public:
    using QHeaderView::QHeaderView;
    QSize sizeHint() const override { return {minimumWidth(), minimumHeight()}; }
};
} // namespace

HexGridView::HexGridView(const image::HexGrid& grid, QRect geometry, QWidget* parent)
    : QTableView(parent), model_(grid)
{
    setItemDelegate(new CellDelegate(this));
    setHorizontalHeader(new FixedHeader(Qt::Horizontal, this));
    setVerticalHeader(new FixedHeader(Qt::Vertical, this));

    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setCornerButtonEnabled(false);
    setWordWrap(false);

    for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->setHighlightSections(false);
        header->setSectionsClickable(false);
        header->setMinimumSectionSize(1);
    }

    // Cells in the window colours, the area outside them grey 128, lines light grey 192,
    // the fixed cells in button colours with black lines between them.
    QPalette pal = palette();
    const QColor cellColour = pal.color(QPalette::Base);
    pal.setColor(QPalette::Base, QColor(128, 128, 128));
    setPalette(pal);
    model_.setBrushes(cellColour, QColor(255, 150, 150));
    setStyleSheet(QStringLiteral("QTableView { gridline-color: rgb(192,192,192); }"
                                 "QHeaderView::section { background-color: palette(button); color: palette(button-text);"
                                 " border: 0px; border-right: 1px solid black; border-bottom: 1px solid black;"
                                 " padding: 0px; }"));

    // 12 points where the font allows; smaller where only a wider font is installed, so that
    // all 17 columns still fit with the narrowest margins (and a pixel of rounding each).
    setGeometry(geometry);
    const auto format = image::kGridFormat;
    const int chars = int(std::count_if(format.begin(), format.end(), [](char c) { return c != '|'; }));
    const QFont font = fittedFixedFont(12, chars, cellAreaWidth() - image::kGridColumns * (kMinMargin + 1));
    setFont(font);
    horizontalHeader()->setFont(font);
    verticalHeader()->setFont(font);
    const int rowHeight = QFontMetrics(font).height() + 2;
    verticalHeader()->setDefaultSectionSize(rowHeight);
    horizontalHeader()->setFixedHeight(rowHeight + 2);

    // Last: every font, style and size change above would otherwise measure all 4096 rows again.
    setModel(&model_);
}

int HexGridView::cellAreaWidth() const
{
    return width() - 2 * frameWidth() - verticalScrollBar()->sizeHint().width();
}

void HexGridView::applyColumnWidths(const image::HexGrid& grid)
{
    std::array<int, image::kGridColumns> textWidths{};
    int total = 0;
    for (int c = 0; c < image::kGridColumns; ++c) {
        textWidths[c] = int(std::ceil(fixedTextWidth(font(), std::max(grid.columnWidthChars(c), 1))));
        total += textWidths[c];
    }
    // Spread what is left of the width as margins, so the 17 columns fit without a
    // horizontal scroll bar wherever the font allows.
    const int margin = std::clamp((cellAreaWidth() - total) / image::kGridColumns, kMinMargin, 10);
    verticalHeader()->setFixedWidth(textWidths[0] + margin);
    for (int c = 1; c < image::kGridColumns; ++c)
        setColumnWidth(c - 1, textWidths[c] + margin);
}

} // namespace brindle::app
