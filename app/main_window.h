// Form1: the one window. It holds every control, all program state and the handlers the
// buttons run, and it is the panel the board operations report to and the monitor of their
// transfers.
#pragma once

#include "board_ops.h"
#include "code_image.h"
#include "operator.h"
#include "panel.h"
#include "port.h"
#include "job_record.h"
#include "serial_link.h"
#include "session.h"
#include "store.h"
#include "transfer_monitor.h"

#include <QString>
#include <QWidget>

#include <array>
#include <atomic>
#include <chrono>
#include <functional>

class QAction;
class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace brindle::app {

class HexGridView;
class InputGuard;
class Production;
class PortMap;

class Form1 : public QWidget, public link::Panel, public link::TransferMonitor {
    Q_OBJECT
public:
    // comDevices: what COM1 and COM2 stand for (empty: none found).
    Form1(platform::Port& port, Operator& op, std::array<QString, 2> comDevices, QWidget* parent = nullptr);
    ~Form1() override;

    // Handlers.
    void Form_Load();
    void msgout();
    void buffer_initial();
    void Load_Click();
    void Save_Click();
    void Reset_Click();
    void Erase_Click();
    void Blank_Click();
    void Program_Click();
    void Read_Click();
    void Verify_Click();
    void Lock_Click();
    void auto_Click();
    void Option1_Click();
    void Option2_Click();
    // "Serial port…" (the port frame's context menu, the system menu): maps a button to another
    // device until the window closes. Does nothing without a port map, or while busy.
    void choosePorts();
    // The map the window's port is, and what lists the system's ports for the choice.
    void setPortMap(PortMap* map, std::function<std::vector<SerialPortEntry>()> listPorts);
    QAction* portAction = nullptr; // "Serial port…", on the port frame and its buttons
    // LOAD of a file named without the dialog (the command line, a file dropped on the window);
    // a later AUTO reloads it as it does a file chosen in the dialog.
    void openFile(const QString& path);

    // link::Panel
    void log(const std::string& line) override;
    void messageBox(const std::string& text, link::Icon icon, const std::string& title) override;
    void beep() override;
    void setTitle(const std::string& title) override;
    void selectDevice(int row) override;
    void cellsChanged(int firstRow, int lastRow) override;
    void markMismatches(const std::vector<link::CellMismatch>& cells) override;
    // link::TransferMonitor
    void progress(int done, int total) override;
    void idle() override;

    link::SerialLink& serialLink() { return serialLink_; }
    // SIGTERM, SIGHUP: `flag` stops a transfer between blocks and AUTO between its steps.
    void setStopFlag(const std::atomic<bool>* flag);
    // Once the flag is set: dismisses the box or dialog that is open, and closes the window as
    // soon as the operation that runs has ended.
    void closeOnStop();
    // --log: each board operation (each button, each AUTO step) appends a line to the record.
    void setJobRecord(station::JobRecord* record) { record_ = record; }
    // --store and the serial options: WRITE gives each chip its number, every step is recorded
    // in the store.
    void setProduction(Production* production);
    bool isBusy() const { return busyDepth_ > 0; }
    // Where the record's durations are read from; tests move it on while a box stands open.
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    void setClock(Clock clock) { clock_ = std::move(clock); }

    // State.
    image::CodeBuffer codeBuffer;
    image::HexGrid grid; // MSFG's cell texts
    QString hexFileName;
    link::Session session; // what the board operations keep between them
    int& deviceSize = session.deviceSize;
    int loadedEnd = 0;
    int& programLength = session.programLength;
    QString logMessage;
    bool autoReload = false;
    bool loadAccepted = false;

    // Controls, named as in the window's design (the AUTO button is autoButton: auto is taken).
    QPushButton *Reset, *Read, *Erase, *Blank, *Program, *Verify, *Lock, *autoButton, *Load, *Save;
    QCheckBox *Erase_chk, *Blank_chk, *Program_chk, *Verify_chk, *Lockchk, *autochk, *Fillchk;
    QCheckBox *Lb1chk, *Lb2chk, *Lb3chk;
    QGroupBox *Frame1, *Frame2;
    QRadioButton *Option1, *Option2;
    std::array<QRadioButton*, 9> deviceButtons{}; // in the device table's order
    QLabel *Label1, *Label2, *Label3, *Label4;
    HexGridView* MSFG;
    QProgressBar* progressBar;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Marks the window busy for the length of a board action; the outermost one begins a
    // new action on the link and, at its end, drops the input that arrived meanwhile.
    class BusyScope {
    public:
        explicit BusyScope(Form1& form);
        ~BusyScope();
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        Form1& form_;
    };

    void createControls(const std::array<QString, 2>& comDevices);
    void createDeviceFrame();
    void showPortTips(const std::array<QString, 2>& devices);
    void createGridAndLog();
    void fitLogFont();
    void arrangeTabOrder();
    void showLoadedTitle();
    static bool ticked(const QCheckBox* box);
    // The grid range an operation sends, compares or reads, as it stands once it has run.
    enum class Range { None, Program, Chip };
    // Runs one board operation as a button does and records it when a record is kept.
    // withFile: the record names the file LOAD put into the grid, if the grid still shows it.
    template <typename Operation>
    void recorded(Range range, bool withFile, Operation operation);
    const station::Serial* productionStepDone(const link::Outcome& outcome);

    Operator& op_;
    link::SerialLink serialLink_;
    link::BoardOps ops_;
    QButtonGroup* deviceGroup_ = nullptr;
    QButtonGroup* portGroup_ = nullptr;
    InputGuard* inputGuard_ = nullptr;
    int busyDepth_ = 0;
    platform::Port& port_;
    station::JobRecord* record_ = nullptr;
    bool recordFailed_ = false;
    bool storeRecordFailed_ = false; // its box has been shown
    Production* production_ = nullptr;
    bool inAuto_ = false;
    QString gridFile_; // the file whose image the grid shows; empty once READ rewrote it
    QString gridFileWarning_; // what LOAD found odd about it (no end record), for the record
    const std::atomic<bool>* stop_ = nullptr;
    bool closeRequested_ = false;
    Clock clock_ = [] { return std::chrono::steady_clock::now(); };
    PortMap* portMap_ = nullptr;
    std::function<std::vector<SerialPortEntry>()> listPorts_;
    // How long the boxes shown so far stood open: an operation's record leaves out the time the
    // operator took to read its report.
    std::chrono::steady_clock::duration boxesOpen_{};
};

} // namespace brindle::app
