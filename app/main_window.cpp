// Form1 itself: its making, the start-up that fills the log and the grid, the port buttons, and
// its closing, which waits for the operation that runs.
#include "main_window.h"

#include "fonts.h"
#include "hex_grid_view.h"
#include "input_guard.h"
#include "port_map.h"
#include "window_layout.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QLabel>

#include <algorithm>
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
} // namespace

Form1::Form1(platform::Port& port, Operator& op, std::array<QString, 2> comDevices, QWidget* parent)
    : QWidget(parent), op_(op), serialLink_(port, *this, this),
      ops_(serialLink_, *this, this, grid, session), port_(port)
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

// A box counts as ticked when its state is 1 (checked), never when partly checked.
bool Form1::ticked(const QCheckBox* box)
{
    return box->checkState() == Qt::Checked;
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
