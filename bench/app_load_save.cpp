// LOAD and SAVE of a full 64 KB file (4096 records of 16 bytes) through Form1's handlers,
// with the time up to the grid's next paint, and where the handler's time goes.
#include "app_support.h"
#include "code_image.h"
#include "hex_file.h"
#include "hex_grid_view.h"
#include "main_window.h"
#include "system_port.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <functional>

namespace brindle::bench {

int childLoadSave(int argc, char** argv, int runs)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        fail("no temporary folder");

    // 4096 records of 16 bytes, as SAVE itself writes them.
    image::CodeBuffer source;
    for (int a = 0; a < image::kImageSize; ++a)
        source[a] = static_cast<std::uint8_t>(a * 31 + (a >> 8));
    image::HexGrid sourceGrid;
    sourceGrid.setFormat(image::kGridFormat);
    sourceGrid.redraw(source);
    const QString inPath = dir.filePath(QStringLiteral("BENCH.HEX"));
    if (image::writeFileAtomically(inPath, image::hexRecords(sourceGrid, image::kGridRows - 1)))
        fail("cannot write the input file");

    const std::array<QString, 2> none{};
    const std::unique_ptr<platform::Port> port = platform::makeSystemPort(none);
    ScriptedOperator op;
    app::Form1 form(*port, op, none);
    PaintWatch watch(form.MSFG->viewport());
    form.show();
    if (!watch.waitForPaint())
        fail("the window never painted");
    std::printf("LOAD / SAVE of 64 KB on %s, %d runs each (ms)\n", qPrintable(QGuiApplication::platformName()),
                runs);
    std::printf("  %-52s %9s %9s\n", "", "best", "median");

    auto drain = [] {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    };
    // Times work() alone and work() plus the events up to the grid's next paint.
    auto measure = [&](const char* name, const char* withEvents, const std::function<void()>& work,
                       bool expectPaint) {
        std::vector<double> handler, total;
        for (int i = 0; i <= runs; ++i) { // run 0 warms up
            drain();
            const auto t0 = Clock::now();
            work();
            const auto t1 = Clock::now();
            if (expectPaint ? !watch.waitForPaint() : (QCoreApplication::processEvents(), false))
                fail(std::string(name) + ": no paint followed");
            const auto t2 = Clock::now();
            if (i > 0) {
                handler.push_back(msBetween(t0, t1));
                total.push_back(msBetween(t0, t2));
            }
        }
        printRow(name, handler);
        printRow(withEvents, total);
    };

    // LOAD as the operator runs it: Fillchk ticked, the dialog answered with the file.
    op.path = inPath;
    form.Fillchk->setChecked(true);
    measure("Load_Click: handler returns", "Load_Click: handler + events up to the grid's paint",
            [&] { form.Load_Click(); }, true);
    if (!op.lastBox.isEmpty() || form.loadedEnd != image::kImageSize || std::memcmp(form.codeBuffer.data(), source.data(), image::kImageSize) != 0)
        fail("LOAD did not load the file: " + op.lastBox.toStdString());

    {
        PaintCensus census;
        QCoreApplication::instance()->installEventFilter(&census);
        form.Load_Click();
        watch.waitForPaint();
        QCoreApplication::instance()->removeEventFilter(&census);
        std::printf("  paint events after one Load_Click:");
        for (const auto& [name, count] : census.counts)
            std::printf(" %s %d,", name.c_str(), count);
        std::printf("\n");
    }

    // The same file without any redraw: read, check, apply.
    std::vector<double> plain;
    for (int i = 0; i <= runs; ++i) {
        const auto t0 = Clock::now();
        const image::HexReadResult r = image::readHexFile(inPath);
        if (r.problem)
            fail("readHexFile rejected the file");
        image::applyHex(r.data, form.codeBuffer);
        if (i > 0)
            plain.push_back(msBetween(t0, Clock::now()));
    }
    printRow("readHexFile + applyHex (no redraw)", plain);

    // Where the handler's time goes: its steps in its own order, the grid hidden while the
    // cells change and shown again after.
    std::printf("  Load_Click's steps:\n");
    const char* const stepNames[] = {"  MSFG->hide()",
                                     "  readHexFile (read + parse + check)",
                                     "  fill + setFormat + applyHex + setWindowTitle",
                                     "  HexGrid::redraw (cell texts)",
                                     "  GridModel::redraw (model reset, grid hidden)",
                                     "  MSFG->show() after the reset"};
    std::vector<double> steps[6];
    for (int i = 0; i <= runs; ++i) {
        Clock::time_point t[7];
        t[0] = Clock::now();
        form.MSFG->hide();
        t[1] = Clock::now();
        const image::HexReadResult r = image::readHexFile(inPath);
        t[2] = Clock::now();
        form.codeBuffer.fill(0xFF);
        form.grid.setFormat(image::kGridFormat);
        image::applyHex(r.data, form.codeBuffer);
        form.setWindowTitle(QStringLiteral("BENCH %1").arg(i));
        t[3] = Clock::now();
        form.grid.redraw(form.codeBuffer);
        t[4] = Clock::now();
        form.MSFG->cells().redraw();
        t[5] = Clock::now();
        form.MSFG->show();
        t[6] = Clock::now();
        for (int k = 0; i > 0 && k < 6; ++k)
            steps[k].push_back(msBetween(t[k], t[k + 1]));
        watch.waitForPaint();
    }
    for (int k = 0; k < 6; ++k)
        printRow(stepNames[k], steps[k]);
    measure("  MSFG hide + show", "  MSFG hide + show + events up to the paint", [&] {
        form.MSFG->hide();
        form.MSFG->show();
    }, true);
    measure("  model reset", "  model reset + events up to the paint", [&] { form.MSFG->cells().redraw(); }, true);

    // SAVE: no chip identified, so all 4096 records.
    const QString outPath = dir.filePath(QStringLiteral("OUT.HEX"));
    op.path = outPath;
    form.deviceSize = 0;
    measure("Save_Click: handler returns", "Save_Click: handler + pending events", [&] { form.Save_Click(); },
            false);
    if (!op.lastBox.isEmpty() || QFile(outPath).size() != 184335)
        fail("SAVE did not write 184,335 bytes: " + op.lastBox.toStdString());

    // Save_Click's steps; QSaveFile's commit syncs the file to the disk before the rename.
    std::printf("  Save_Click's steps:\n");
    std::vector<double> saveSteps[4];
    const QString plainPath = dir.filePath(QStringLiteral("PLAIN.HEX"));
    for (int i = 0; i <= runs; ++i) {
        Clock::time_point t[5];
        t[0] = Clock::now();
        if (form.grid.firstMalformedCell(image::kGridRows - 1) >= 0)
            fail("a malformed cell");
        t[1] = Clock::now();
        const std::string text = image::hexRecords(form.grid, image::kGridRows - 1);
        t[2] = Clock::now();
        if (image::writeFileAtomically(outPath, text))
            fail("cannot write");
        t[3] = Clock::now();
        QFile plain(plainPath);
        if (!plain.open(QIODevice::WriteOnly) || plain.write(text.data(), qint64(text.size())) != qint64(text.size()))
            fail("cannot write");
        plain.close();
        t[4] = Clock::now();
        for (int k = 0; i > 0 && k < 4; ++k)
            saveSteps[k].push_back(msBetween(t[k], t[k + 1]));
    }
    printRow("  firstMalformedCell", saveSteps[0]);
    printRow("  hexRecords (184,335 bytes)", saveSteps[1]);
    printRow("  writeFileAtomically (QSaveFile: write, sync, rename)", saveSteps[2]);
    printRow("  for comparison: QFile write, no sync, no rename", saveSteps[3]);
    form.hide(); // see childStartUp
    return 0;
}

} // namespace brindle::bench
