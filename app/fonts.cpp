#include "fonts.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QStringList>

namespace brindle::app {

namespace {
// Below this a fallback font gets unreadable; a layout it still does not fit scrolls instead.
constexpr qreal kSmallestPointSize = 6;
} // namespace

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

qreal fixedTextWidth(const QFont& font, int chars)
{
    return QFontMetricsF(font).horizontalAdvance(QString(chars, QLatin1Char('0')));
}

QFont fittedFixedFont(qreal pointSize, int chars, qreal pixels)
{
    QFont font = fixedFont(pointSize);
    for (qreal size = pointSize; size >= kSmallestPointSize; size -= 0.5) {
        font.setPointSizeF(size);
        if (fixedTextWidth(font, chars) <= pixels)
            break;
    }
    return font;
}

} // namespace brindle::app
