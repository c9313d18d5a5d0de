#include "input_guard.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace brindle::app {

namespace {
bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}
} // namespace

InputGuard::InputGuard(QWidget* window) : QObject(window), window_(window)
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

InputGuard::~InputGuard()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void InputGuard::drainPendingInput()
{
    if (active_)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool InputGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (!active_ || !isUserInput(event->type()) || !watched->isWidgetType())
        return false;
    const auto* widget = static_cast<QWidget*>(watched);
    return widget->window() == window_;
}

} // namespace brindle::app
