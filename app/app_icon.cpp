#include "app_icon.h"

#include <QPainter>
#include <QPixmap>

namespace brindle::app {

QIcon appIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    // Socket lever and base.
    p.fillRect(2, 4, 28, 24, QColor(0, 128, 0));
    p.fillRect(26, 1, 3, 6, QColor(192, 192, 192));
    // The chip with its pins.
    p.fillRect(9, 6, 14, 20, QColor(32, 32, 32));
    for (int y = 8; y < 26; y += 4) {
        p.fillRect(6, y, 3, 2, QColor(192, 192, 192));
        p.fillRect(23, y, 3, 2, QColor(192, 192, 192));
    }
    p.setPen(QColor(255, 255, 0));
    p.drawEllipse(QPoint(12, 9), 1, 1);
    p.end();
    return QIcon(pixmap);
}

} // namespace brindle::app
