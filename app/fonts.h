// The window's fonts: a fixed-pitch stand-in for Fixedsys, and the platform's proportional
// user-interface font for captions.
#pragma once

#include <QFont>

namespace brindle::app {

QFont fixedFont(qreal pointSize);
QFont captionFont(qreal pointSize);

} // namespace brindle::app
