#include "main_window.h"

#include "exact_title.h"
#include "fonts.h"
#include "hex_file.h"
#include "hex_grid_view.h"
#include "input_guard.h"
#include "production.h"
#include "port_map.h"
#include "step_record.h"
#include "window_layout.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace brindle::app {

namespace {
const QString kInitialTitle = QStringLiteral("Brindle  ATMEL 8051 Programmer / Simulator   V" BRINDLE_VERSION);
constexpr int kClientWidth = 10200 / kTwipsPerPixel;  // 680
constexpr int kClientHeight = 6990 / kTwipsPerPixel;  // 466

// The company, telephone and web lines of the banner.
const char* const kBanner[] = {
    "ATMEL 8051 Programmer",
    "Brindle Electronics Co., Ltd.",
    "TEL: +00-0-000-0000",
    "WEB: www.brindle-electronics.example",
};

// A box counts as ticked when its state is 1 (checked), never when partly checked.
bool ticked(const QCheckBox* box)
{
    return box->checkState() == Qt::Checked;
}
} // namespace

Form1::BusyScope::BusyScope(Form1& form) : form_(form)
{
    if (form_.busyDepth_++ == 0) {
        form_.serialLink_.beginAction();
        form_.inputGuard_->setActive(true);
        // On the window only: the boxes an operation shows keep the ordinary cursor.
        form_.setCursor(Qt::WaitCursor);
    }
}

Form1::BusyScope::~BusyScope()
{
    if (form_.busyDepth_ == 1) {
        form_.progress(0, 0);
        form_.inputGuard_->drainPendingInput();
        form_.inputGuard_->setActive(false);
        form_.unsetCursor();
    }
    if (--form_.busyDepth_ == 0 && form_.closeRequested_) {
        // The operator asked to close while the board worked; the operation and its boxes are
        // done now. Queued, so the handler that is ending returns first.
        QTimer::singleShot(0, &form_, &QWidget::close);
    }
}

Form1::Form1(link::Port& port, Operator& op, std::array<QString, 2> comDevices, QWidget* parent)
    : QWidget(parent), op_(op), serialLink_(port, *this),
      ops_(serialLink_, *this, grid, session), port_(port)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kInitialTitle);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(fixedFont(9));
    createControls(comDevices);
    fitLogFont();
    arrangeTabOrder();
    inputGuard_ = new InputGuard(this);
    setAcceptDrops(true); // a HEX file dropped on the window is loaded as LOAD would
    Form_Load();
}

Form1::~Form1()
{
    // The grid view reads `grid`, a member that dies before the base class deletes its children.
    delete MSFG;
}

// The banner holds the log's longest lines: where the fixed-pitch font found is wider than
// the one the log was laid out for, the log's lines get a smaller size, not a cut.
void Form1::fitLogFont()
{
    int longest = 0;
    for (const char* line : kBanner)
        longest = std::max(longest, int(std::strlen(line)));
    const QFont font = fittedFixedFont(9, longest, Label1->contentsRect().width());
    for (QLabel* label : {Label1, Label2, Label3, Label4})
        label->setFont(font);
}

void Form1::Form_Load()
{
    for (const char* line : kBanner) {
        logMessage = QString::fromLatin1(line);
        msgout();
    }
    buffer_initial();
    Erase_chk->setChecked(true);
    Program_chk->setChecked(true);
    autochk->setChecked(true);
    autoReload = false;
    loadAccepted = false;
}

void Form1::msgout()
{
    Label1->setText(Label2->text());
    Label2->setText(Label3->text());
    Label3->setText(Label4->text());
    Label4->setText(logMessage);
}

void Form1::buffer_initial()
{
    codeBuffer.fill(0xFF);
    grid.setFormat(image::kGridFormat);
    MSFG->applyColumnWidths(grid);
    grid.redraw(codeBuffer);
    MSFG->cells().redraw();
    MSFG->show();
}

void Form1::Load_Click()
{
    loadedEnd = 0;
    MSFG->hide();
    if (!autoReload) {
        const std::optional<QString> chosen = op_.chooseFile(Operator::FileMode::Open);
        if (!chosen) {
            loadAccepted = false;
            MSFG->show();
            return;
        }
        loadAccepted = true;
        hexFileName = *chosen;
    }
    if (hexFileName.isEmpty()) {
        MSFG->show();
        op_.beep();
        return;
    }

    // The whole file is checked before anything changes.
    const image::HexReadResult file = image::readHexFile(hexFileName);
    if (file.problem) {
        loadAccepted = false; // AUTO must not program the image that is still there
        MSFG->show();
        op_.messageBox(file.problem->message, link::Icon::Exclamation, QStringLiteral("LOAD"));
        op_.beep();
        return;
    }
    if (ticked(Fillchk)) {
        // buffer_initial without its own redraw: the one below draws every cell anyway.
        codeBuffer.fill(0xFF);
        grid.setFormat(image::kGridFormat);
    }
    image::applyHex(file.data, codeBuffer);
    loadedEnd = file.data.loadedEnd;
    programLength = image::programLengthFor(loadedEnd);
    showLoadedTitle();
    grid.redraw(codeBuffer);
    MSFG->cells().markMismatches({});
    MSFG->cells().redraw();
    MSFG->show();
    gridFile_ = hexFileName;
    gridFileWarning_ = file.warning;
    op_.beep();
}

void Form1::openFile(const QString& path)
{
    // As the dialog gives it: a full path, which the title shows and AUTO reloads.
    hexFileName = QFileInfo(path).absoluteFilePath();
    loadAccepted = true;
    autoReload = true;
    Load_Click();
    autoReload = false;
}

namespace {
// The one local file a drag carries, or nothing: several files or a web address are not taken.
QString droppedFile(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().first().isLocalFile())
        return {};
    return data->urls().first().toLocalFile();
}
} // namespace

void Form1::dragEnterEvent(QDragEnterEvent* event)
{
    if (!isBusy() && !droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event)
{
    const QString file = droppedFile(event->mimeData());
    if (isBusy() || file.isEmpty())
        return;
    event->acceptProposedAction();
    openFile(file);
}

void Form1::showLoadedTitle()
{
    const auto loaded = static_cast<std::uint32_t>(loadedEnd);
    const auto length = static_cast<std::uint32_t>(programLength);
    setExactTitle(this, QDir::toNativeSeparators(hexFileName) + QStringLiteral(" - ")
                   + QString::fromStdString(image::blankDecimal(loaded)) + QStringLiteral(" Bytes (")
                   + QString::fromStdString(image::hexText(length)) + QStringLiteral("H)"));
}

void Form1::Save_Click()
{
    const int size = deviceSize != 0 ? deviceSize : image::kImageSize;
    const int rows = size / image::kBytesPerRow;
    // After a READ that failed part-way some cells are empty or half-filled: such an image is
    // not saved, and the operator learns it before choosing a file.
    const int bad = grid.firstMalformedCell(rows);
    if (bad >= 0) {
        op_.messageBox(QStringLiteral("The cell at address %1H does not hold two hexadecimal digits: "
                                      "nothing was saved. READ the chip or LOAD a file again.")
                           .arg(QString::fromStdString(image::fixedHex(std::uint32_t(bad), 4))),
                       link::Icon::Exclamation, QStringLiteral("SAVE"));
        op_.beep();
        return;
    }
    const std::optional<QString> chosen = op_.chooseFile(Operator::FileMode::Save);
    if (!chosen)
        return;
    if (chosen->isEmpty()) {
        op_.beep();
        return;
    }
    const QString path = QDir::toNativeSeparators(*chosen);
    if (const std::optional<QString> reason = image::writeFileAtomically(*chosen, image::hexRecords(grid, rows))) {
        op_.messageBox(QStringLiteral("Cannot save %1:\n%2").arg(path, *reason), link::Icon::Exclamation,
                       QStringLiteral("SAVE"));
        op_.beep();
        return;
    }
    setExactTitle(this, path);
    op_.beep();
}

template <typename Operation>
void Form1::recorded(Range range, bool withFile, Operation operation)
{
    const auto start = clock_();
    const auto boxesBefore = boxesOpen_;
    const link::Outcome outcome = operation();
    const station::Serial* serial = production_ ? productionStepDone(outcome) : nullptr;
    if (!record_ && !production_)
        return;
    const auto worked = clock_() - start - (boxesOpen_ - boxesBefore);
    link::JobFacts facts;
    facts.port = port_.deviceName();
    if (withFile && !gridFile_.isEmpty()) {
        facts.file = link::JobRecord::describeFile(gridFile_);
        facts.warning = gridFileWarning_;
    }
    if (range != Range::None) {
        facts.grid = &grid;
        facts.imageBytes = range == Range::Program ? programLength : deviceSize;
    }
    facts.duration = std::chrono::duration_cast<std::chrono::milliseconds>(worked);
    const link::RecordEntry entry = station::stepEntry(outcome, facts, serial);
    if (production_ && outcome.result != link::Result::StoreError) { // that box has told of the store already
        const std::optional<QString> failure = production_->record(entry);
        // Once until the store takes a row again: an AUTO would otherwise repeat it at every step.
        if (failure && !storeRecordFailed_)
            op_.messageBox(*failure + ".\nThe operations themselves went on.", link::Icon::Exclamation, QStringLiteral("STORE"));
        storeRecordFailed_ = bool(failure);
    }
    const std::optional<QString> failure = record_ ? record_->append(entry) : std::nullopt;
    if (failure && !recordFailed_) {
        // Once: an AUTO would otherwise repeat the box at every step.
        recordFailed_ = true;
        op_.messageBox(QStringLiteral("The record could not be written: %1.\nThe operations themselves went on.").arg(*failure),
                       link::Icon::Exclamation, QStringLiteral("LOG"));
    }
}

void Form1::Reset_Click()
{
    BusyScope busy(*this);
    recorded(Range::None, false, [&] { return ops_.reset(); });
}

void Form1::Erase_Click()
{
    BusyScope busy(*this);
    recorded(Range::None, false, [&] { return ops_.erase(); });
}

void Form1::Blank_Click()
{
    BusyScope busy(*this);
    recorded(Range::None, false, [&] { return ops_.blank(); });
}

void Form1::Program_Click()
{
    BusyScope busy(*this);
    recorded(Range::Program, true, [&] { return ops_.program(); });
}

void Form1::Read_Click()
{
    BusyScope busy(*this);
    MSFG->cells().markMismatches({});
    gridFile_.clear();
    recorded(Range::Chip, false, [&] { return ops_.read(); });
}

void Form1::Verify_Click()
{
    BusyScope busy(*this);
    MSFG->cells().markMismatches({});
    recorded(Range::Chip, true, [&] { return ops_.verify(); });
}

void Form1::Lock_Click()
{
    BusyScope busy(*this);
    recorded(Range::None, false, [&] { return ops_.lock(ticked(Lb1chk), ticked(Lb2chk), ticked(Lb3chk)); });
}

void Form1::setProduction(Production* production)
{
    production_ = production;
    ops_.setBeforeWrite([this]() -> std::optional<link::Outcome> {
        if (!production_)
            return std::nullopt;
        std::optional<link::Outcome> refusal = production_->beforeWrite(grid, session, QString::fromStdString(port_.deviceName()));
        if (refusal)
            messageBox(refusal->detail, link::Icon::Critical, "PROGRAM");
        else
            cellsChanged(1, image::kGridRows - 1); // the grid shows the number where the chip will hold it
        return refusal;
    });
}

// The step's number marked where the step decides it, its line after the operation's own.
const station::Serial* Form1::productionStepDone(const link::Outcome& outcome)
{
    const bool verifyFollows = inAuto_ && ticked(Verify_chk);
    if (const std::optional<QString> failure = production_->stepDone(outcome, verifyFollows))
        messageBox((*failure + ".").toStdString(), link::Icon::Exclamation, "STORE");
    const station::Serial* serial = production_->stepSerial();
    if (serial && outcome.operation == link::Operation::Write) {
        logMessage = station::serialLogLine(*serial);
        msgout();
    }
    return serial;
}

void Form1::auto_Click()
{
    BusyScope busy(*this); // one action for the whole sequence
    inAuto_ = true;
    autoReload = !hexFileName.isEmpty();
    Fillchk->setChecked(true);
    loadAccepted = true;
    if (ticked(autochk))
        Load_Click();
    if (loadAccepted) {
        // Each box is read just before its step runs; a stop asked for ends the sequence.
        const auto step = [this](QCheckBox* box) { return ticked(box) && !(stop_ && *stop_); };
        if (step(Erase_chk))
            Erase_Click();
        if (step(Blank_chk))
            Blank_Click();
        if (step(Program_chk))
            Program_Click();
        if (step(Verify_chk))
            Verify_Click();
        if (step(Lockchk))
            Lock_Click();
    }
    if (production_ && production_->pending()) // stopped before the VERIFY that decides the number
        productionStepDone(link::Outcome::of(link::Result::Interrupted));
    inAuto_ = false;
    autoReload = false;
}

void Form1::Option1_Click()
{
    serialLink_.selectPort(1);
}

void Form1::Option2_Click()
{
    serialLink_.selectPort(2);
}

void Form1::setPortMap(PortMap* map, std::function<std::vector<SerialPortEntry>()> listPorts)
{
    portMap_ = map;
    listPorts_ = std::move(listPorts);
}

void Form1::choosePorts()
{
    if (!portMap_ || isBusy())
        return;
    const std::optional<std::array<QString, 2>> chosen =
        op_.choosePorts(portMap_->devices(), listPorts_ ? listPorts_() : std::vector<SerialPortEntry>{});
    if (!chosen)
        return;
    for (int button = 1; button <= 2; ++button) {
        const QString& device = (*chosen)[std::size_t(button - 1)];
        if (!device.isEmpty() && device != portMap_->devices()[std::size_t(button - 1)])
            portMap_->map(button, device);
    }
    showPortTips(portMap_->devices());
}

void Form1::log(const std::string& line)
{
    logMessage = QString::fromStdString(line);
    msgout();
}

void Form1::messageBox(const std::string& text, link::Icon icon, const std::string& title)
{
    const auto shown = clock_();
    op_.messageBox(QString::fromStdString(text), icon, QString::fromStdString(title));
    boxesOpen_ += clock_() - shown;
}

void Form1::beep()
{
    op_.beep();
}

void Form1::setTitle(const std::string& title)
{
    setExactTitle(this, QString::fromStdString(title));
}

void Form1::selectDevice(int row)
{
    // An exclusive group cannot turn its last button off.
    deviceGroup_->setExclusive(false);
    for (std::size_t i = 0; i < deviceButtons.size(); ++i)
        if (deviceButtons[i]) // a chip the window has no place for has no button
            deviceButtons[i]->setChecked(int(i) == row);
    deviceGroup_->setExclusive(true);
}

void Form1::progress(int done, int total)
{
    if (total <= 0) {
        progressBar->hide();
        return;
    }
    progressBar->setRange(0, total);
    progressBar->setValue(std::clamp(done, 0, total));
    progressBar->show();
}

void Form1::cellsChanged(int firstRow, int lastRow)
{
    MSFG->cells().rowsRewritten(firstRow, lastRow);
}

void Form1::markMismatches(const std::vector<link::CellMismatch>& cells)
{
    std::vector<std::pair<int, int>> where;
    std::vector<std::string> chip;
    where.reserve(cells.size());
    chip.reserve(cells.size());
    for (const link::CellMismatch& cell : cells) {
        where.emplace_back(cell.row, cell.column);
        chip.push_back(cell.chip);
    }
    MSFG->cells().markMismatches(where, chip);
}

void Form1::idle()
{
    // Repaint and serve the board's timers, but take no click or key meanwhile.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void Form1::setStopFlag(const std::atomic<bool>* flag)
{
    stop_ = flag;
    ops_.setInterruptFlag(flag);
}

void Form1::closeOnStop()
{
    // A box waits for an operator who may be gone; its operation then goes on to its end.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }
    close(); // while busy: once the operation has ended
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (isBusy()) {
        closeRequested_ = true; // closed once the operation has ended
        event->ignore();
    } else {
        event->accept();
    }
}

} // namespace brindle::app
