// Shared by the window benchmark's files: clock helpers, the table rows, a watch for a
// widget's first paint and an operator whose answers are scripted.
#pragma once

#include "operator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace brindle::bench {

using Clock = std::chrono::steady_clock;

inline long long nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

inline double msBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

[[noreturn]] inline void fail(const std::string& what)
{
    std::fprintf(stderr, "bench_app: %s\n", what.c_str());
    std::exit(1);
}

struct Stats {
    double best = 0, median = 0;
};

inline Stats stats(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return {v.front(), v[v.size() / 2]};
}

inline void printRow(const char* name, const std::vector<double>& ms)
{
    const Stats s = stats(ms);
    std::printf("  %-52s %9.3f %9.3f\n", name, s.best, s.median);
    std::fflush(stdout);
}

// Notes the first paint event a widget receives. The filter sees it before the widget paints;
// the caller takes its time after processEvents() has returned, so the painting is included.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QWidget* target) : target_(target) { target->installEventFilter(this); }
    bool painted = false;

    // Processes events until the target has painted (false after 5 s without a paint).
    bool waitForPaint()
    {
        painted = false;
        QElapsedTimer limit;
        limit.start();
        QTimer wake; // WaitForMoreEvents must not sleep past the limit
        wake.start(50);
        while (!painted && limit.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return painted;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == target_ && event->type() == QEvent::Paint)
            painted = true;
        return false;
    }

private:
    QWidget* target_;
};

// Counts the paint events every widget receives, by class.
class PaintCensus : public QObject {
public:
    std::map<std::string, int> counts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++counts[watched->metaObject()->className()];
        return false;
    }
};

class ScriptedOperator : public brindle::app::Operator {
public:
    QString path;
    QString lastBox;
    std::optional<QString> chooseFile(FileMode) override { return path; }
    void messageBox(const QString& text, brindle::link::Icon, const QString&) override { lastBox = text; }
    void beep() override {}
};

int childLoadSave(int argc, char** argv, int runs);

} // namespace brindle::bench
