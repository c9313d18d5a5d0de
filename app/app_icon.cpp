#include "app_icon.h"

namespace brindle::app {

QIcon appIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/brindle-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace brindle::app
