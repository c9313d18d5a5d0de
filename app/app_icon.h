// The window icon: the same chip-in-a-socket images the desktop menu shows.
#pragma once

#include <QIcon>

namespace brindle::app {

QIcon appIcon();

} // namespace brindle::app
