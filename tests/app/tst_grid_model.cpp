// The grid's table model, watched by Qt's model tester throughout: texts straight from the
// grid, one reset per full redraw, row updates for READ, and the VERIFY highlight.
#include "grid_model.h"

#include <QtTest>

using namespace brindle;

class TestGridModel : public QObject {
    Q_OBJECT
private slots:
    void showsAndUpdatesTheGrid()
    {
        image::CodeBuffer buffer;
        buffer[0x1234] = 0x0A;
        image::HexGrid grid;
        grid.setFormat(image::kGridFormat);
        grid.redraw(buffer);
        app::GridModel model(grid);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const auto at = [&](int row, int column, int role = Qt::DisplayRole) {
            return model.index(row, column).data(role);
        };
        QCOMPARE(model.rowCount(), 4096);
        QCOMPARE(model.columnCount(), 16);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral(" 0"));
        QCOMPARE(model.headerData(4095, Qt::Vertical).toString(), QStringLiteral("FFF0"));
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

        model.markMismatches({{1, 1}, {292, 5}, {0, 3}, {4097, 1}}); // the last two lie outside
        QVERIFY(at(0, 0, Qt::BackgroundRole) != at(0, 1, Qt::BackgroundRole));
        QCOMPARE(at(291, 4, Qt::BackgroundRole), at(0, 0, Qt::BackgroundRole));
        model.markMismatches({});
        QCOMPARE(at(0, 0, Qt::BackgroundRole), at(0, 1, Qt::BackgroundRole));
    }
};

QTEST_MAIN(TestGridModel)
#include "tst_grid_model.moc"
