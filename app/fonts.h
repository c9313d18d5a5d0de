// The window's fonts: a fixed-pitch stand-in for Fixedsys, and the platform's proportional
// user-interface font for captions.
#pragma once

#include <QFont>

namespace brindle::app {

QFont fixedFont(qreal pointSize);
QFont captionFont(qreal pointSize);

// The width that `chars` characters take in a fixed-pitch font.
qreal fixedTextWidth(const QFont& font, int chars);

// The fixed-pitch font at the largest size, from pointSize down in half points, in which
// `chars` characters fit into `pixels`. The fixed layout was drawn for a font with narrow
// digits; whichever font the system has in its place may be wider.
QFont fittedFixedFont(qreal pointSize, int chars, qreal pixels);

} // namespace brindle::app
