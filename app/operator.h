// The operator as the window meets them: the file dialog, message boxes and the beep. The
// real one shows Qt dialogs; tests script the answers.
#pragma once

#include "panel.h"

#include <QString>

#include <optional>

namespace brindle::app {

inline const QString kDialogTitle = QStringLiteral("Select HEX File");
// "INTEL HEX FILE(*.HEX)|*.hex|모든파일(*.*)|*.*" in Qt's filter syntax.
inline const QString kDialogFilter =
    QStringLiteral("INTEL HEX FILE(*.HEX) (*.hex *.HEX);;") + QString::fromUtf8("모든파일(*.*) (*)");
inline const QString kDefaultSuffix = QStringLiteral("hex");

class Operator {
public:
    virtual ~Operator() = default;
    enum class FileMode { Open, Save };
    // The chosen full path; nullopt when the operator cancelled.
    virtual std::optional<QString> chooseFile(FileMode mode) = 0;
    virtual void messageBox(const QString& text, link::Icon icon, const QString& title) = 0;
    virtual void beep() = 0;
};

} // namespace brindle::app
