// Form1's controls: their names, captions, places (in twips), groups and tab order.
#include "main_window.h"

#include "chips.h"
#include "fonts.h"
#include "hex_grid_view.h"
#include "window_layout.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

namespace brindle::app {

void Form1::createControls(const std::array<QString, 2>& comDevices)
{
    const struct {
        QPushButton** button;
        const char* name;
        const char* caption;
        QRect rect;
        void (Form1::*handler)();
    } buttons[] = {
        {&Reset, "Reset", "RESET", fromTwips(240, 6360, 1095, 495), &Form1::Reset_Click},
        {&Read, "Read", "READ", fromTwips(1440, 6360, 1095, 495), &Form1::Read_Click},
        {&Erase, "Erase", "ERASE", fromTwips(2760, 6360, 855, 495), &Form1::Erase_Click},
        {&Blank, "Blank", "BLANK", fromTwips(3720, 6360, 855, 495), &Form1::Blank_Click},
        {&Program, "Program", "WRITE", fromTwips(4680, 6360, 855, 495), &Form1::Program_Click},
        {&Verify, "Verify", "VERIFY", fromTwips(5640, 6360, 855, 495), &Form1::Verify_Click},
        {&Lock, "Lock", "LOCK", fromTwips(6600, 6360, 855, 495), &Form1::Lock_Click},
        {&autoButton, "auto", "AUTO", fromTwips(7680, 6360, 2295, 495), &Form1::auto_Click},
        {&Load, "Load", "LOAD", fromTwips(240, 5760, 1095, 495), &Form1::Load_Click},
        {&Save, "Save", "SAVE", fromTwips(1440, 5760, 1095, 495), &Form1::Save_Click},
    };
    for (const auto& b : buttons) {
        *b.button = placeButton(this, b.name, QString::fromLatin1(b.caption), b.rect);
        connect(*b.button, &QPushButton::clicked, this, b.handler);
    }

    const struct {
        QCheckBox** box;
        const char* name;
        const char* caption;
        QRect rect;
        const char* accessibleName;
    } boxes[] = {
        {&Erase_chk, "Erase_chk", "", fromTwips(3000, 6000, 255, 255), "ERASE step"},
        {&Blank_chk, "Blank_chk", "", fromTwips(3960, 6000, 255, 255), "BLANK step"},
        {&Program_chk, "Program_chk", "", fromTwips(4920, 6000, 255, 255), "WRITE step"},
        {&Verify_chk, "Verify_chk", "", fromTwips(5880, 6000, 255, 255), "VERIFY step"},
        {&Lockchk, "Lockchk", "", fromTwips(6840, 6000, 255, 255), "LOCK step"},
        {&autochk, "autochk", "Re Load", fromTwips(8640, 6000, 1215, 255), ""},
        {&Fillchk, "Fillchk", "FF", fromTwips(720, 5400, 615, 255), ""},
        {&Lb1chk, "Lb1chk", "LB1", fromTwips(480, 3840, 735, 255), ""},
        {&Lb2chk, "Lb2chk", "LB2", fromTwips(1440, 3840, 735, 255), ""},
        {&Lb3chk, "Lb3chk", "LB3", fromTwips(2280, 3840, 735, 255), ""},
    };
    for (const auto& b : boxes)
        *b.box = placeCheckBox(this, b.name, QString::fromLatin1(b.caption), b.rect,
                               QString::fromLatin1(b.accessibleName));
    Lb1chk->setFont(captionFont(9.75));
    fitCaption(Lb1chk);
    Fillchk->setChecked(true);

    Frame2 = placeFrame(this, "Frame2", QStringLiteral(" 1    2 "), fromTwips(2760, 5400, 855, 615));
    Frame2->setAccessibleName(QStringLiteral("Port"));
    Option1 = placeRadioButton(Frame2, "Option1", {}, fromTwips(120, 240, 255, 255), QStringLiteral("COM1"));
    Option2 = placeRadioButton(Frame2, "Option2", {}, fromTwips(480, 240, 255, 255), QStringLiteral("COM2"));
    portGroup_ = new QButtonGroup(this);
    portGroup_->addButton(Option1, 1);
    portGroup_->addButton(Option2, 2);
    Option1->setChecked(true);
    showPortTips(comDevices);
    // Choosing the port without changing the frame: its context menu, as a terminal program's.
    portAction = new QAction(QStringLiteral("Serial port\u2026"), this);
    connect(portAction, &QAction::triggered, this, &Form1::choosePorts);
    for (QWidget* widget : std::initializer_list<QWidget*>{Frame2, Option1, Option2}) {
        widget->addAction(portAction);
        widget->setContextMenuPolicy(Qt::ActionsContextMenu);
    }
    connect(Option1, &QRadioButton::clicked, this, &Form1::Option1_Click);
    connect(Option2, &QRadioButton::clicked, this, &Form1::Option2_Click);

    createDeviceFrame();
    createGridAndLog();
}

void Form1::showPortTips(const std::array<QString, 2>& devices)
{
    QRadioButton* const ports[] = {Option1, Option2};
    for (std::size_t i = 0; i < 2; ++i) {
        const QString device = devices[i].isEmpty() ? QStringLiteral("no serial port found") : devices[i];
        ports[i]->setToolTip(QStringLiteral("COM%1: %2").arg(i + 1).arg(device));
    }
}

void Form1::createDeviceFrame()
{
    Frame1 = placeFrame(this, "Frame1", QStringLiteral("Device"), fromTwips(240, 120, 3375, 3615));
    const struct {
        const char* name;
        int top;
        int width;
    } places[] = {
        {"AT89C1051", 360, 2895}, {"AT89C2051", 720, 2895}, {"AT89C4051", 1080, 2895},
        {"AT89C8051", 1440, 2895}, {"AT89C8052", 1800, 2895}, {"AT89S51", 2160, 2895},
        {"AT89S52", 2520, 2895}, {"AT89S8252", 2880, 3015}, {"AT89C55WD", 3240, 2535},
    };
    deviceGroup_ = new QButtonGroup(this);
    for (const auto& p : places) {
        for (std::size_t row = 0; row < protocol::kChips.size(); ++row) {
            const protocol::Chip& device = protocol::kChips[row];
            if (device.control != p.name)
                continue;
            const QString caption = QString::fromLatin1(device.caption.data(), int(device.caption.size()));
            deviceButtons[row] = placeRadioButton(Frame1, p.name, caption, fromTwips(240, p.top, p.width, 255));
            deviceGroup_->addButton(deviceButtons[row], int(row));
        }
    }
}

void Form1::createGridAndLog()
{
    Label1 = placeLogLabel(this, "Label1", fromTwips(240, 4320, 3375, 255), true);
    Label2 = placeLogLabel(this, "Label2", fromTwips(240, 4560, 3375, 255), false);
    Label3 = placeLogLabel(this, "Label3", fromTwips(240, 4800, 3375, 255), false);
    Label4 = placeLogLabel(this, "Label4", fromTwips(240, 5040, 3375, 255), false);

    MSFG = new HexGridView(grid, fromTwips(3840, 240, 6135, 5415), this);
    MSFG->setObjectName(QStringLiteral("MSFG"));
    MSFG->setAccessibleName(QStringLiteral("Code image"));
    MSFG->hide(); // buffer_initial shows it once drawn

    // In the free strip between the grid's bottom (y 377) and the row of step boxes (y 400).
    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setAccessibleName(QStringLiteral("Blocks done"));
    progressBar->setTextVisible(false);
    progressBar->setGeometry(MSFG->geometry().left(), 385, MSFG->geometry().width(), 7);
    progressBar->hide();
}

void Form1::arrangeTabOrder()
{
    auto device = [this](const char* name) {
        for (QRadioButton* b : deviceButtons)
            if (b && b->objectName() == QLatin1String(name))
                return static_cast<QWidget*>(b);
        return static_cast<QWidget*>(nullptr);
    };
    // Tab places 0 to 37; frames and log labels hold places but take no focus.
    QWidget* const order[] = {
        Reset, Load, Erase, Blank, Program, Verify, Lock, autoButton, Read, Save,
        Erase_chk, Blank_chk, Program_chk, Verify_chk,
        device("AT89C1051"), device("AT89C2051"), device("AT89C4051"), device("AT89C8051"), device("AT89C8052"),
        MSFG, device("AT89C55WD"), device("AT89S8252"), Option1, Option2, Lb1chk, Lb2chk, Lb3chk,
        Lockchk, Fillchk, autochk, device("AT89S51"), device("AT89S52"),
    };
    QWidget* previous = nullptr;
    for (QWidget* widget : order) {
        if (!widget) // a device button the chip table did not give
            continue;
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

} // namespace brindle::app
