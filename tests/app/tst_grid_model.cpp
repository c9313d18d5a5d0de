// The grid's table model: texts straight from the grid, one reset per full redraw, row
// updates for READ, and the VERIFY highlight.
#include "grid_model.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace brindle;
using brindle::app::GridModel;

class TestGridModel : public QObject {
    Q_OBJECT
private slots:
    void passesTheModelTester();
    void showsTheGridTexts();
    void redrawIsOneResetAndReadARowChange();
    void mismatchesAreHighlightedUntilCleared();
};

namespace {
struct Drawn {
    image::CodeBuffer buffer;
    image::HexGrid grid;
    Drawn()
    {
        grid.setFormat(image::kGridFormat);
        buffer[0x1234] = 0x0A;
        buffer[0] = 0x00;
        grid.redraw(buffer);
    }
};
} // namespace

void TestGridModel::passesTheModelTester()
{
    Drawn d;
    GridModel model(d.grid);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.redraw();
    model.rowsRewritten(1, 4);
    model.markMismatches({{1, 1}});
}

void TestGridModel::showsTheGridTexts()
{
    Drawn d;
    GridModel model(d.grid);
    QCOMPARE(model.rowCount(), 4096);
    QCOMPARE(model.columnCount(), 16);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral(" 0"));
    QCOMPARE(model.headerData(15, Qt::Horizontal).toString(), QStringLiteral(" F"));
    QCOMPARE(model.headerData(0, Qt::Vertical).toString(), QStringLiteral("0000"));
    QCOMPARE(model.headerData(4095, Qt::Vertical).toString(), QStringLiteral("FFF0"));
    // Address 0x1234: grid row 292, column 5.
    QCOMPARE(model.index(291, 4).data().toString(), QStringLiteral("0A"));
    QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("00"));
    QCOMPARE(model.index(4095, 15).data().toString(), QStringLiteral("FF"));
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
    d.grid.setText(1, 2, "7"); // READ may leave any text
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("7"));
}

void TestGridModel::redrawIsOneResetAndReadARowChange()
{
    Drawn d;
    GridModel model(d.grid);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    model.redraw();
    QCOMPARE(resets.count(), 1);
    QCOMPARE(changes.count(), 0);
    model.rowsRewritten(3, 4); // READ's two rows of a block
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes[0][0].toModelIndex(), model.index(2, 0));
    QCOMPARE(changes[0][1].toModelIndex(), model.index(3, 15));
}

void TestGridModel::mismatchesAreHighlightedUntilCleared()
{
    Drawn d;
    GridModel model(d.grid);
    const QBrush cell(Qt::white), mismatch(Qt::red);
    model.setBrushes(cell, mismatch);
    model.markMismatches({{1, 1}, {292, 5}, {0, 3}, {4097, 1}});
    QCOMPARE(model.index(0, 0).data(Qt::BackgroundRole).value<QBrush>(), mismatch);
    QCOMPARE(model.index(291, 4).data(Qt::BackgroundRole).value<QBrush>(), mismatch);
    QCOMPARE(model.index(0, 1).data(Qt::BackgroundRole).value<QBrush>(), cell);
    model.markMismatches({});
    QVERIFY(!model.isMarked(1, 1));
    QCOMPARE(model.index(0, 0).data(Qt::BackgroundRole).value<QBrush>(), cell);
}

QTEST_MAIN(TestGridModel)
#include "tst_grid_model.moc"
