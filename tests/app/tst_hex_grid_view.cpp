// The grid and the log as the operator sees them, in whichever fixed-pitch font the system
// has: every column and log line whole without a horizontal scroll bar, and the grid's
// colours on screen. ctest runs this once with the system's fonts and once with DejaVu only
// (BRINDLE_EXPECT_FONT then names the family the grid must have fallen back to). And the grid's
// table model under Qt's model tester.
#include "app_rig.h"
#include "fonts.h"
#include "grid_model.h"

#include <cmath>

using namespace brindle;
using namespace brindle::app;

namespace {
// The widest of the texts a cell can show: two hexadecimal digits of any kind.
int widestCellText(const QFont& font)
{
    const QFontMetricsF metrics(font);
    qreal widest = 0;
    for (QChar digit : QStringLiteral("0123456789ABCDEF"))
        widest = std::max(widest, metrics.horizontalAdvance(QString(2, digit)));
    return int(std::ceil(widest));
}
} // namespace

class TestHexGridView : public QObject {
    Q_OBJECT
private slots:
    // 36 characters in room to spare (12 points), in the grid's 300 pixels, in just the width of
    // 11.5 points (a half step), and in none (6 points).
    void fittedFontIsTheLargestThatFits()
    {
        for (const qreal pixels : {1000.0, 300.0, fixedTextWidth(fixedFont(11.5), 36), 10.0}) {
            const QFont font = fittedFixedFont(12, 36, pixels);
            const qreal size = font.pointSizeF();
            QVERIFY(size <= 12 && size >= 6);
            QVERIFY2(size == 6 || fixedTextWidth(font, 36) <= pixels, qPrintable(QString::number(size)));
            QFont larger = font;
            larger.setPointSizeF(size + 0.5);
            QVERIFY2(size == 12 || fixedTextWidth(larger, 36) > pixels, qPrintable(QString::number(size)));
        }
    }

    void gridAndLogShowEverythingWhole()
    {
        WindowRig rig;
        Form1& f = rig.form;
        f.show();
        QVERIFY2(QTest::qWaitForWindowExposed(&f), "window shown");
        HexGridView* view = f.MSFG;
        const QFontInfo used(view->font()); // which font a system has is worth a line in the log
        qInfo("grid font: %s %g pt at %d dpi, %d px per digit", qPrintable(used.family()), view->font().pointSizeF(),
              view->logicalDpiX(), view->fontMetrics().horizontalAdvance(QLatin1Char('0')));
        const QByteArray expected = qgetenv("BRINDLE_EXPECT_FONT");
        if (!expected.isEmpty())
            QCOMPARE(used.family(), QString::fromUtf8(expected));
        // The preferred font keeps the size the layout was drawn for.
        if (used.family() == QLatin1String("NanumGothicCoding"))
            QCOMPARE(view->font().pointSizeF(), 12.0);

        QVERIFY2(!view->horizontalScrollBar()->isVisible(), qPrintable(used.family()));
        int total = view->verticalHeader()->width();
        const int cell = widestCellText(view->font());
        for (int c = 0; c < 16; ++c) {
            const QString header = view->model()->headerData(c, Qt::Horizontal).toString();
            const int text = std::max(cell, view->horizontalHeader()->fontMetrics().horizontalAdvance(header));
            QVERIFY2(view->columnWidth(c) >= text, qPrintable(QStringLiteral("column %1").arg(c)));
            total += view->columnWidth(c);
        }
        QVERIFY2(total <= view->viewport()->width() + view->verticalHeader()->width(),
                 qPrintable(QStringLiteral("%1 > %2").arg(total).arg(view->viewport()->width())));
        QVERIFY(view->verticalHeader()->width()
                >= view->verticalHeader()->fontMetrics().horizontalAdvance(QStringLiteral("FFF0")));

        // The banner is the longest text the log shows.
        for (QLabel* label : {f.Label1, f.Label2, f.Label3, f.Label4}) {
            const int width = label->fontMetrics().horizontalAdvance(label->text());
            QVERIFY2(width <= label->contentsRect().width(), qPrintable(label->text()));
        }
    }

    void gridColoursOnScreen()
    {
        WindowRig rig;
        Form1& f = rig.form;
        HexGridView* view = f.MSFG;
        const QColor window = QApplication::palette().color(QPalette::Base);
        const QColor button = QApplication::palette().color(QPalette::Button);
        view->cells().markMismatches({{2, 2}}); // grid cell (2, 2) is model cell (1, 1)
        view->setColumnHidden(15, true); // uncovers the area right of the cells
        f.show();
        QVERIFY2(QTest::qWaitForWindowExposed(&f), "window shown");

        const QRect plain = view->visualRect(view->model()->index(0, 0));
        const QRect marked = view->visualRect(view->model()->index(1, 1));
        const QRect last = view->visualRect(view->model()->index(0, 14));
        const QImage cells = view->viewport()->grab().toImage();
        const QImage header = view->horizontalHeader()->grab().toImage();
        const int headerRight = view->horizontalHeader()->sectionViewportPosition(0)
                                + view->horizontalHeader()->sectionSize(0) - 1;
        const struct { const char* what; const QImage& image; QPoint at; QColor colour; } spots[] = {
            {"cell background", cells, plain.topLeft() + QPoint(1, 1), window},
            {"grid line between cells", cells, QPoint(plain.right() + 1, plain.center().y()), QColor(192, 192, 192)},
            {"differing cell", cells, marked.topLeft() + QPoint(1, 1), QColor(255, 150, 150)},
            {"outside the cells", cells, QPoint(last.right() + 5, last.center().y()), QColor(128, 128, 128)},
            {"header background", header, QPoint(1, 1), button},
            {"line between header cells", header, QPoint(headerRight, 1), Qt::black},
        };
        for (const auto& s : spots) {
            const QColor got = s.image.pixelColor(s.at);
            QVERIFY2(got.rgb() == s.colour.rgb(), qPrintable(QStringLiteral("%1 at (%2,%3): %4, expected %5").arg(s.what)
                                                                 .arg(s.at.x()).arg(s.at.y()).arg(got.name(), s.colour.name())));
        }
    }

    void showsAndUpdatesTheGrid()
    {
        image::CodeBuffer buffer;
        buffer[0x1234] = 0x0A;
        image::HexGrid grid;
        grid.setFormat(image::kGridFormat);
        grid.redraw(buffer);
        app::GridModel model(grid);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const auto at = [&](int row, int column) { return model.index(row, column).data(); };
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString() + model.headerData(4095, Qt::Vertical).toString(), " 0FFF0");
        QCOMPARE(at(291, 4).toString(), QStringLiteral("0A")); // address 0x1234: grid row 292, column 5
        QCOMPARE(at(4095, 15).toString(), QStringLiteral("FF"));
        QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));

        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
        model.redraw();
        QCOMPARE(resets.count(), 1);
        grid.setText(3, 2, "7"); // READ may leave any text
        model.rowsRewritten(3, 4); // READ's two rows of a block
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes[0][0].toModelIndex(), model.index(2, 0));
        QCOMPARE(changes[0][1].toModelIndex(), model.index(3, 15));
        QCOMPARE(at(2, 1).toString(), QStringLiteral("7"));
    }
};

QTEST_MAIN(TestHexGridView)
#include "tst_hex_grid_view.moc"
