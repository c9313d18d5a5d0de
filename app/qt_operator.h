// The operator met through Qt's file dialog, message boxes and beep.
#pragma once

#include "operator.h"

#include <QPointer>
#include <QWidget>

namespace brindle::app {

class QtOperator : public Operator {
public:
    // The window the dialogs belong to; may be set after construction.
    void setWindow(QWidget* window) { window_ = window; }

    std::optional<QString> chooseFile(FileMode mode) override;
    void messageBox(const QString& text, link::Icon icon, const QString& title) override;
    void beep() override;
    std::optional<std::array<QString, 2>> choosePorts(const std::array<QString, 2>& current,
                                                      const std::vector<SerialPortEntry>& ports) override;

private:
    QPointer<QWidget> window_;
};

} // namespace brindle::app
