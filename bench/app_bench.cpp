// The real window: start-up to the first painted Form1 next to an empty QWidget of the same
// size, and LOAD and SAVE of a full 64 KB file through Form1's handlers.
//
// Start-up runs each window in a fresh child process (this executable with --child), so
// every run pays for loading Qt and its plugins as the operator does. Times come from
// steady_clock, which on Linux is the system-wide monotonic clock, so the parent's "before
// spawn" and the child's "painted" can be subtracted.
#include "app_icon.h"
#include "app_support.h"
#include "hex_grid_view.h"
#include "main_window.h"
#include "system_port.h"

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>

#include <cstring>
#include <memory>

using namespace brindle;
using namespace brindle::bench;

namespace {

// ---- child: one start-up -------------------------------------------------------------------

enum class Window { Empty, Label, Form };

// Prints "<t before QApplication> <t after it> <t window built> <t painted>" in ns.
int childStartUp(int argc, char** argv, Window kind)
{
    const long long tApp = nowNs();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brindle"));
    const long long tAppBuilt = nowNs();

    const std::array<QString, 2> none{};
    const std::unique_ptr<platform::Port> port = platform::makeSystemPort(none);
    ScriptedOperator op;
    std::unique_ptr<QWidget> window;
    QWidget* target = nullptr;
    if (kind == Window::Form) {
        auto form1 = std::make_unique<app::Form1>(*port, op, none);
        form1->setWindowIcon(app::appIcon());
        target = form1->MSFG->viewport(); // the grid drawn, not just the frame
        window = std::move(form1);
    } else {
        window = std::make_unique<QWidget>();
        window->setFixedSize(680, 466);
        if (kind == Window::Label) // any text at all loads the font database
            (new QLabel(QStringLiteral("Brindle"), window.get()))->move(10, 10);
        target = window.get();
    }
    const long long tBuilt = nowNs();
    PaintWatch watch(target);
    window->show();
    if (!watch.waitForPaint())
        fail("the window never painted");
    const long long tPainted = nowNs();
    std::printf("%lld %lld %lld %lld\n", tApp, tAppBuilt, tBuilt, tPainted);
    window->hide(); // a Form1 destroyed while shown reads its grid after the grid is gone
    return 0;
}



// ---- parent --------------------------------------------------------------------------------

struct StartUp {
    double spawnToPaint, appToPaint, appCtor, windowCtor, showToPaint;
};

const char* const kWindowArg[] = {"empty", "label", "form"};

StartUp runChild(const QString& platform, int kind)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const long long tSpawn = nowNs();
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), QString::fromLatin1(kWindowArg[kind])});
    if (!child.waitForFinished(30000) || child.exitCode() != 0)
        fail("a start-up child failed");
    long long t[4];
    if (std::sscanf(child.readAllStandardOutput().constData(), "%lld %lld %lld %lld", &t[0], &t[1], &t[2], &t[3]) != 4)
        fail("a start-up child printed nothing");
    auto ms = [](long long a, long long b) { return double(b - a) / 1e6; };
    return {ms(tSpawn, t[3]), ms(t[0], t[3]), ms(t[0], t[1]), ms(t[1], t[2]), ms(t[2], t[3])};
}

void startUpTable(const QString& platform, int runs)
{
    std::vector<StartUp> results[3]; // by Window
    for (int kind = 0; kind < 3; ++kind)
        runChild(platform, kind); // warm the file cache
    for (int i = 0; i < runs; ++i)
        for (int kind = 0; kind < 3; ++kind)
            results[kind].push_back(runChild(platform, kind));

    std::printf("Start-up to the first paint on %s, %d fresh processes each (ms)\n", qPrintable(platform), runs);
    std::printf("  %-52s %9s %9s\n", "", "best", "median");
    Stats spawn[3], app[3];
    for (int form = 0; form < 3; ++form) {
        auto column = [&](double StartUp::*field) {
            std::vector<double> v;
            for (const StartUp& s : results[form])
                v.push_back(s.*field);
            return v;
        };
        const char* const names[] = {"empty QWidget 680x466", "QWidget + one QLabel", "Form1"};
        const char* who = names[form];
        const std::string name = who;
        printRow((name + ": process spawn -> painted").c_str(), column(&StartUp::spawnToPaint));
        printRow((name + ": before QApplication -> painted").c_str(), column(&StartUp::appToPaint));
        printRow(("  QApplication constructor"), column(&StartUp::appCtor));
        printRow(form == 2 ? "  Form1 constructor (Form_Load included)" : "  QWidget constructor",
                 column(&StartUp::windowCtor));
        printRow("  show -> painted", column(&StartUp::showToPaint));
        spawn[form] = stats(column(&StartUp::spawnToPaint));
        app[form] = stats(column(&StartUp::appToPaint));
    }
    std::printf("  %-52s %9.3f %9.3f\n", "Form1 - empty: process spawn -> painted", spawn[2].best - spawn[0].best,
                spawn[2].median - spawn[0].median);
    std::printf("  %-52s %9.3f %9.3f\n", "Form1 - empty: before QApplication -> painted",
                app[2].best - app[0].best, app[2].median - app[0].median);
    std::printf("  %-52s %9.3f %9.3f\n\n", "Form1 - QLabel: process spawn -> painted",
                spawn[2].best - spawn[1].best, spawn[2].median - spawn[1].median);
    std::fflush(stdout);
}

void loadSaveTable(const QString& platform, int runs)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--load-save"), QString::number(runs)});
    if (!child.waitForFinished(300000) || child.exitCode() != 0)
        fail("the LOAD/SAVE child failed");
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0)
        return childStartUp(argc, argv,
                            std::strcmp(argv[2], "form") == 0    ? Window::Form
                            : std::strcmp(argv[2], "label") == 0 ? Window::Label
                                                                 : Window::Empty);
    if (argc >= 3 && std::strcmp(argv[1], "--load-save") == 0)
        return childLoadSave(argc, argv, std::max(1, std::atoi(argv[2])));

    QCoreApplication app(argc, argv);
    int startRuns = 15, ioRuns = 50;
    const QStringList args = QCoreApplication::arguments();
    if (args.size() >= 2)
        startRuns = std::max(1, args[1].toInt());
    if (args.size() >= 3)
        ioRuns = std::max(1, args[2].toInt());

    // Qt warns on every start without it; the children share one private folder.
    QTemporaryDir runtimeDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtimeDir.isValid())
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());

    QStringList platforms{QStringLiteral("offscreen")};
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        platforms << QStringLiteral("xcb");
    for (const QString& platform : platforms)
        startUpTable(platform, startRuns);
    for (const QString& platform : platforms)
        loadSaveTable(platform, ioRuns);
    return 0;
}

