// While the board works, clicks, keys and wheel turns aimed at the window are dropped (not
// deferred), so nothing the operator does meanwhile is acted on once the operation ends.
// Other windows (the message boxes an operation shows) stay usable.
#pragma once

#include <QObject>

class QWidget;

namespace brindle::app {

class InputGuard : public QObject {
    Q_OBJECT
public:
    explicit InputGuard(QWidget* window);
    ~InputGuard() override;

    void setActive(bool active) { active_ = active; }
    bool isActive() const { return active_; }

    // Delivers the input that arrived meanwhile, so that it is dropped now rather than
    // acted on later.
    void drainPendingInput();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    bool active_ = false;
};

} // namespace brindle::app
