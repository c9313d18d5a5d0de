// The window icon: a 32 x 32 chip in a socket, drawn in code.
#pragma once

#include <QIcon>

namespace brindle::app {

QIcon appIcon();

} // namespace brindle::app
