// Helpers that place the window's controls at their fixed positions, given in twips
// (1/1440 inch, 15 to a pixel at 96 dots per inch).
#pragma once

#include <QRect>
#include <QString>

class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

namespace brindle::app {

constexpr int kTwipsPerPixel = 15;

constexpr QRect fromTwips(int left, int top, int width, int height)
{
    return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel);
}

// name: the control's objectName; caption: its text (none for box-only controls, which get
// accessibleName instead).
QPushButton* placeButton(QWidget* parent, const char* name, const QString& caption, QRect rect);
QCheckBox* placeCheckBox(QWidget* parent, const char* name, const QString& caption, QRect rect,
                         const QString& accessibleName = {});
QRadioButton* placeRadioButton(QWidget* parent, const char* name, const QString& caption, QRect rect,
                               const QString& accessibleName = {});
QGroupBox* placeFrame(QWidget* parent, const char* name, const QString& caption, QRect rect);
// Narrows a caption that would be clipped at the control's fixed width.
void fitCaption(QAbstractButton* button);
// A log line: Label1 in the window colours, the others white on button-text colour.
QLabel* placeLogLabel(QWidget* parent, const char* name, QRect rect, bool oldest);

} // namespace brindle::app
