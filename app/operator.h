// The operator as the window meets them: the file dialog, message boxes and the beep. The
// real one shows Qt dialogs; tests script the answers.
#pragma once

#include "panel.h"

#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace brindle::app {

inline const QString kDialogTitle = QStringLiteral("Select HEX File");
// "INTEL HEX FILE(*.HEX)|*.hex|모든파일(*.*)|*.*" in Qt's filter syntax.
inline const QString kDialogFilter =
    QStringLiteral("INTEL HEX FILE(*.HEX) (*.hex *.HEX);;") + QString::fromUtf8("모든파일(*.*) (*)");
inline const QString kDefaultSuffix = QStringLiteral("hex");

// A serial port the system reports: its device and its line as `brindle-cli ports` lists it.
struct SerialPortEntry {
    QString device;
    QString line;
};

class Operator {
public:
    virtual ~Operator() = default;
    enum class FileMode { Open, Save };
    // The chosen full path; nullopt when the operator cancelled.
    virtual std::optional<QString> chooseFile(FileMode mode) = 0;
    virtual void messageBox(const QString& text, link::Icon icon, const QString& title) = 0;
    virtual void beep() = 0;
    // "Serial port…": what buttons 1 and 2 are to stand for, offered the ports the system
    // reports and the current mapping; nullopt when the operator cancelled.
    virtual std::optional<std::array<QString, 2>> choosePorts(const std::array<QString, 2>& current,
                                                              const std::vector<SerialPortEntry>& ports)
    {
        (void)current;
        (void)ports;
        return std::nullopt;
    }
};

} // namespace brindle::app
