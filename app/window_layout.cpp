#include "window_layout.h"

#include "fonts.h"

#include <algorithm>

#include <QCheckBox>

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace brindle::app {

namespace {
template <typename W>
W* place(W* widget, const char* name, QRect rect)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(rect);
    widget->setFont(captionFont(9));
    return widget;
}

template <typename W>
void nameForAssistiveTechnology(W* widget, const QString& caption, const QString& accessibleName)
{
    widget->setAccessibleName(accessibleName.isEmpty() ? caption : accessibleName);
}
} // namespace

// The captions were laid out for a narrower user-interface font than most platforms have;
// a caption that would be clipped is narrowed just enough to fit its fixed width.
void fitCaption(QAbstractButton* button)
{
    if (button->text().isEmpty())
        return;
    // A push button's size hint has a minimum width of its own; only its text matters here.
    const bool push = qobject_cast<QPushButton*>(button) != nullptr;
    auto textWidth = [&] { return button->fontMetrics().horizontalAdvance(button->text()); };
    auto needed = [&] { return push ? textWidth() + 8 : button->sizeHint().width(); };
    const int over = needed() - button->width();
    if (over <= 0)
        return;
    // Each stretch tried loads a font, so aim at once: only the text narrows, not the box or
    // the margins around it.
    const int text = textWidth();
    QFont font = button->font();
    int stretch = std::clamp(100 * (text - over) / text, 70, 99);
    for (int tries = 0; tries < 3; ++tries, stretch = std::max(70, stretch - 2)) {
        font.setStretch(stretch);
        button->setFont(font);
        if (needed() <= button->width() || stretch == 70)
            break;
    }
}

// Captions are plain text: none carries '&', so Qt makes no access key of them.

QPushButton* placeButton(QWidget* parent, const char* name, const QString& caption, QRect rect)
{
    auto* button = place(new QPushButton(caption, parent), name, rect);
    fitCaption(button);
    // Return or Enter on the focused button runs it, as the system's own buttons do.
    button->setAutoDefault(true);
    nameForAssistiveTechnology(button, caption, {});
    return button;
}

namespace {
template <typename Button>
Button* placeCaptioned(QWidget* parent, const char* name, const QString& caption, QRect rect,
                       const QString& accessibleName)
{
    auto* button = place(new Button(caption, parent), name, rect);
    fitCaption(button);
    nameForAssistiveTechnology(button, caption, accessibleName);
    return button;
}
} // namespace

QCheckBox* placeCheckBox(QWidget* parent, const char* name, const QString& caption, QRect rect,
                         const QString& accessibleName)
{
    return placeCaptioned<QCheckBox>(parent, name, caption, rect, accessibleName);
}

QRadioButton* placeRadioButton(QWidget* parent, const char* name, const QString& caption, QRect rect,
                               const QString& accessibleName)
{
    return placeCaptioned<QRadioButton>(parent, name, caption, rect, accessibleName);
}

QGroupBox* placeFrame(QWidget* parent, const char* name, const QString& caption, QRect rect)
{
    auto* frame = place(new QGroupBox(caption, parent), name, rect);
    frame->setFocusPolicy(Qt::NoFocus);
    frame->setAccessibleName(caption.trimmed().isEmpty() ? QString::fromLatin1(name) : caption.trimmed());
    return frame;
}

QLabel* placeLogLabel(QWidget* parent, const char* name, QRect rect, bool oldest)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(rect);
    label->setTextFormat(Qt::PlainText);
    label->setAutoFillBackground(true);
    QPalette pal = label->palette();
    if (oldest) {
        pal.setColor(QPalette::Window, pal.color(QPalette::Base));
        pal.setColor(QPalette::WindowText, pal.color(QPalette::Text));
    } else {
        pal.setColor(QPalette::Window, QColor(255, 255, 255));
        pal.setColor(QPalette::WindowText, pal.color(QPalette::ButtonText));
    }
    label->setPalette(pal);
    // The text itself is what assistive technology reads; the description says where it stands.
    label->setAccessibleDescription(oldest ? QStringLiteral("Message log, oldest line") : QStringLiteral("Message log"));
    return label;
}

} // namespace brindle::app
