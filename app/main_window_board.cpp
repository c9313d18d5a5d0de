// The board buttons and AUTO: each runs its operation as one action of the window, and records
// it where a record or a store is kept.
#include "main_window.h"

#include "hex_grid_view.h"
#include "input_guard.h"
#include "production.h"
#include "step_record.h"

#include <QCheckBox>
#include <QTimer>

namespace brindle::app {

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
    station::JobFacts facts;
    facts.port = port_.deviceName();
    if (withFile && !gridFile_.isEmpty()) {
        facts.file = station::JobRecord::describeFile(gridFile_);
        facts.warning = gridFileWarning_;
    }
    if (range != Range::None) {
        facts.grid = &grid;
        facts.imageBytes = range == Range::Program ? programLength : deviceSize;
    }
    facts.duration = std::chrono::duration_cast<std::chrono::milliseconds>(worked);
    const station::RecordEntry entry = station::stepEntry(outcome, facts, serial);
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

} // namespace brindle::app
