#include "reporter.h"

#include "letters.h"

#include <QJsonDocument>

#include <optional>

namespace brindle::cli {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kRedrawPeriod{100};
constexpr int kBarWidth = 30;

QString minutes(double seconds)
{
    const int s = int(seconds + 0.5);
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

Reporter::Reporter(int boards, bool json, bool progressBar)
    : transfers_(std::size_t(std::max(boards, 1))), several_(boards > 1), json_(json), bar_(progressBar)
{
}

void Reporter::print(std::FILE* stream, const QString& text)
{
    clearBar();
    std::fputs(qPrintable(text + '\n'), stream);
    std::fflush(stream);
}

void Reporter::line(int board, const QString& text, bool error)
{
    if (quiet_ && !error)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    const bool prefix = several_ && board >= 0 && board < int(ports_.size());
    print(quiet_ ? stderr : out_, prefix ? ports_[std::size_t(board)] + ": " + text : text);
}

void Reporter::stepStarted(int board, link::Operation step, bool wait)
{
    if (!bar_ || board < 0 || board >= int(transfers_.size()))
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    Transfer& t = transfers_[std::size_t(board)];
    t = Transfer{};
    t.step = step;
    t.wait = wait;
    t.start = Clock::now();
}

void Reporter::waiting(int board)
{
    if (!bar_ || board < 0 || board >= int(transfers_.size()))
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    const auto now = Clock::now();
    if (transfers_[std::size_t(board)].wait && now - lastDraw_ >= kRedrawPeriod) {
        lastDraw_ = now;
        drawBar();
    }
}

void Reporter::problem(const QString& text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    print(stderr, text);
}

void Reporter::jsonObject(const QJsonObject& object)
{
    std::lock_guard<std::mutex> lock(mutex_);
    print(out_, QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
}

void Reporter::progress(int board, int done, int total)
{
    if (!bar_ || board < 0 || board >= int(transfers_.size()))
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    Transfer& t = transfers_[std::size_t(board)];
    const bool starting = t.total == 0 && total > 0; // drawn at once, however short the transfer
    if (starting)
        t.start = Clock::now();
    t.done = done;
    t.total = total;
    const auto now = Clock::now();
    if (starting || total == 0 || now - lastDraw_ >= kRedrawPeriod) {
        lastDraw_ = now;
        drawBar();
    }
}

void Reporter::drawBar()
{
    long long done = 0, total = 0;
    double leftSeconds = 0, waited = 0;
    std::optional<link::Operation> step;
    bool oneStep = true, waits = false;
    for (const Transfer& t : transfers_) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - t.start).count();
        if (t.total == 0 && !t.wait)
            continue;
        oneStep = oneStep && (!step || *step == t.step);
        step = t.step;
        if (t.total == 0) {
            waits = true;
            waited = std::max(waited, elapsed);
            continue;
        }
        done += t.done;
        total += t.total;
        if (t.done > 0)
            leftSeconds = std::max(leftSeconds, elapsed * (t.total - t.done) / t.done);
    }
    const std::string_view stepName = step ? link::operationName(*step) : std::string_view();
    const QString name = oneStep ? QString::fromUtf8(stepName.data(), int(stepName.size())) : QStringLiteral("boards");
    QString text;
    if (total > 0) {
        const int filled = int(kBarWidth * done / total);
        text = QStringLiteral("\r%1 [%2%3] %4%  %5/%6 B  %7 left ")
                   .arg(name, QString(filled, '#'), QString(kBarWidth - filled, '-'))
                   .arg(int(100 * done / total), 3)
                   .arg(done * protocol::kBlockBytes)
                   .arg(total * protocol::kBlockBytes)
                   .arg(minutes(leftSeconds));
    } else if (waits) {
        text = QStringLiteral("\r%1: waiting for the board, %2 s ").arg(name).arg(int(waited));
    } else {
        clearBar();
        return;
    }
    std::fputs(qPrintable(text), stderr);
    std::fflush(stderr);
    barShown_ = true;
}

void Reporter::clearBar()
{
    if (!barShown_)
        return;
    std::fputs(qPrintable('\r' + QString(kBarWidth + 50, ' ') + '\r'), stderr);
    std::fflush(stderr);
    barShown_ = false;
}

void Reporter::summary(const std::vector<SummaryRow>& rows)
{
    int portWidth = 4, chipWidth = 4, resultWidth = 6;
    for (const SummaryRow& row : rows) {
        portWidth = std::max(portWidth, int(row.port.size()));
        chipWidth = std::max(chipWidth, int(row.chip.size()));
        resultWidth = std::max(resultWidth, int(row.result.size()));
    }
    QString table = QStringLiteral("%1  %2  %3  %4\n")
                        .arg(QStringLiteral("port"), -portWidth)
                        .arg(QStringLiteral("chip"), -chipWidth)
                        .arg(QStringLiteral("result"), -resultWidth)
                        .arg(QStringLiteral("time"));
    for (const SummaryRow& row : rows)
        table += QStringLiteral("%1  %2  %3  %4 s\n")
                     .arg(row.port, -portWidth)
                     .arg(row.chip, -chipWidth)
                     .arg(row.result, -resultWidth)
                     .arg(row.seconds, 0, 'f', 1);
    table.chop(1);
    std::lock_guard<std::mutex> lock(mutex_);
    print(out_, table);
}

} // namespace brindle::cli
