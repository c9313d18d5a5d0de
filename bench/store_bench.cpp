// One process of the store benchmark: takes and marks COUNT numbers of SERIES in STORE, one
// after the other as a station would, and prints how long each took at best, median and worst.
//   bench_store STORE SERIES COUNT
#include "store.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace brindle::station;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString error;
    const auto address = args.size() == 4 ? parseStoreAddress(args[1], &error) : std::nullopt;
    if (!address) {
        std::fprintf(stderr, "usage: bench_store STORE SERIES COUNT %s\n", qPrintable(error));
        return 2;
    }
    SeriesPlan plan;
    plan.name = args[2];
    plan.format = SerialFormat{SerialFormat::Kind::Big, 4};
    Store store(*address, QStringLiteral("bench"), QStringLiteral("bench"));
    QStringList notes;
    std::optional<QString> failure = store.open();
    if (!failure)
        failure = store.prepare(plan, &notes);
    std::vector<double> ms;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < args[3].toInt() && !failure; ++i) {
        const auto before = std::chrono::steady_clock::now();
        Serial serial;
        failure = store.take(plan, QStringLiteral("bench"), &serial);
        if (!failure)
            failure = store.mark(serial, true, QStringLiteral("ok"));
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count());
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (failure) {
        std::fprintf(stderr, "%s\n", qPrintable(*failure));
        return 7;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%zu %.3f %.2f %.2f %.2f\n", ms.size(), seconds, ms.front(), ms[ms.size() / 2], ms.back());
    return 0;
}
