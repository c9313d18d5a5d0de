// Times LOAD and SAVE of a full 64 KB image (4096 records of 16 bytes): best and median of N runs.
#include "hex_file.h"

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace brindle::image;

namespace {

constexpr int kRuns = 200;

template <typename Work>
void measure(const char* name, Work work)
{
    work(); // warm caches and the allocator
    std::vector<double> ms;
    ms.reserve(kRuns);
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s best %7.3f ms   median %7.3f ms\n", name, ms.front(), ms[ms.size() / 2]);
}

void fail(const char* what)
{
    std::fprintf(stderr, "bench_image: %s\n", what);
    std::exit(1);
}

} // namespace

int main()
{
    CodeBuffer image;
    for (int a = 0; a < kImageSize; ++a)
        image[a] = static_cast<std::uint8_t>(a * 31 + (a >> 8));
    HexGrid grid;
    grid.setFormat(kGridFormat);
    grid.redraw(image);
    const std::string file = hexRecords(grid, kGridRows - 1);
    std::printf("64 KB file: %zu bytes, %d runs each\n", file.size(), kRuns);

    measure("parse + check (parseHex)", [&] {
        const HexReadResult r = parseHex(file, QStringLiteral("BENCH.HEX"));
        if (r.problem || r.data.loadedEnd != kImageSize)
            fail("the file did not load");
    });
    CodeBuffer buffer;
    HexGrid shown;
    measure("HexGrid::redraw alone", [&] { shown.redraw(buffer); });
    measure("parse + applyHex + HexGrid::redraw", [&] {
        const HexReadResult r = parseHex(file, QStringLiteral("BENCH.HEX"));
        applyHex(r.data, buffer);
        shown.redraw(buffer);
    });
    measure("hexRecords of 64 KB", [&] {
        if (hexRecords(grid, kGridRows - 1).size() != 184335)
            fail("wrong size");
    });

    QTemporaryDir dir;
    if (!dir.isValid())
        fail("no temporary folder");
    const QString path = dir.filePath(QStringLiteral("BENCH.HEX"));
    measure("hexRecords + writeFileAtomically of 64 KB", [&] {
        if (writeFileAtomically(path, hexRecords(grid, kGridRows - 1)))
            fail("cannot write");
    });
    measure("readHexFile of 64 KB (read + parse)", [&] {
        if (readHexFile(path).problem)
            fail("cannot read back");
    });
    return 0;
}
