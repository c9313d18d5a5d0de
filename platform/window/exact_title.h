// Window titles exactly as given, the empty one included.
#pragma once

#include <QString>

class QWidget;

namespace brindle::app {

// Qt never leaves a title empty: it shows the application's name instead. The operator is to
// see exactly the board's last reply, and a box given no title is to have none, so where the
// platform allows it (X11) an empty title is written to the window directly, once the
// window exists (shown).
void setExactTitle(QWidget* window, const QString& title);

// The platform's part: an empty title written to the window itself, where it can be (X11).
void clearNativeTitle(QWidget* window);

} // namespace brindle::app
