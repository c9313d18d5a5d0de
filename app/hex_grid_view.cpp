#include "hex_grid_view.h"

#include "fonts.h"

#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>

namespace brindle::app {

namespace {
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

HexGridView::HexGridView(const image::HexGrid& grid, QWidget* parent) : QTableView(parent), model_(grid)
{
    setItemDelegate(new CellDelegate(this));
    setHorizontalHeader(new FixedHeader(Qt::Horizontal, this));
    setVerticalHeader(new FixedHeader(Qt::Vertical, this));
    const QFont font = fixedFont(12);
    setFont(font);
    horizontalHeader()->setFont(font);
    verticalHeader()->setFont(font);

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
    const int rowHeight = QFontMetrics(font).height() + 2;
    verticalHeader()->setDefaultSectionSize(rowHeight);
    horizontalHeader()->setFixedHeight(rowHeight + 2);

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
    // Last: every font, style and size change above would otherwise measure all 4096 rows again.
    setModel(&model_);
}

void HexGridView::applyColumnWidths(const image::HexGrid& grid)
{
    const QFontMetrics metrics(font());
    const int charWidth = metrics.horizontalAdvance(QLatin1Char('0'));
    int chars = 0;
    for (int c = 0; c < image::kGridColumns; ++c)
        chars += std::max(grid.columnWidthChars(c), 1);
    // Spread what is left of the width as margins, so the 17 columns fit without a
    // horizontal scroll bar wherever the font allows.
    const int available = width() - 2 * frameWidth() - verticalScrollBar()->sizeHint().width();
    const int margin = std::clamp((available - chars * charWidth) / image::kGridColumns, 2, 10);
    verticalHeader()->setFixedWidth(std::max(grid.columnWidthChars(0), 1) * charWidth + margin);
    for (int c = 1; c < image::kGridColumns; ++c)
        setColumnWidth(c - 1, std::max(grid.columnWidthChars(c), 1) * charWidth + margin);
}

} // namespace brindle::app
