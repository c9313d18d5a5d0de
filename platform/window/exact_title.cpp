#include "exact_title.h"

#include <QWidget>

namespace brindle::app {

void setExactTitle(QWidget* window, const QString& title)
{
    // "[*]" is Qt's mark for unsaved changes; doubled it stands for itself.
    window->setWindowTitle(QString(title).replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")));
    if (title.isEmpty())
        clearNativeTitle(window);
}

} // namespace brindle::app
