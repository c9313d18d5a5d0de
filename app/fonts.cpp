#include "fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QStringList>

namespace brindle::app {

QFont fixedFont(qreal pointSize)
{
    QFont font;
    // NanumGothicCoding first after Fixedsys: its narrow digits let the grid's 17 columns fit.
    font.setFamilies({QStringLiteral("Fixedsys"), QStringLiteral("NanumGothicCoding"),
                      QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSizeF(pointSize);
    return font;
}

QFont captionFont(qreal pointSize)
{
    QFont font = QApplication::font();
    font.setPointSizeF(pointSize);
    return font;
}

} // namespace brindle::app
