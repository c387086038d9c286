#include "ui/shell/TextFit.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLabel>
#include <QVariant>

namespace {
const char* const kNominalFont = "nominalFont";
constexpr qreal kSmallestPoints = 5.0;
constexpr int kSmallestPixels = 7;

// QLabel centres the line box of the font's height (or puts it at the top);
// the ink must stay within the label, which matters for labels no taller
// than the font.
bool inkInside(const QFontMetricsF& fm, const QString& text, qreal height, bool top)
{
    const qreal baseline = top ? fm.ascent() : (height - fm.height()) / 2 + fm.ascent();
    const QRectF ink = fm.tightBoundingRect(text);
    return baseline + ink.top() >= 0 && baseline + ink.bottom() <= height - 0.5;
}

// One step smaller; false when the font is as small as it may get.
bool shrink(QFont& font)
{
    if (font.pixelSize() > 0) {
        if (font.pixelSize() <= kSmallestPixels)
            return false;
        font.setPixelSize(font.pixelSize() - 1);
        return true;
    }
    if (font.pointSizeF() <= kSmallestPoints)
        return false;
    font.setPointSizeF(font.pointSizeF() - 0.5);
    return true;
}
} // namespace

bool TextFit::fits(const QFont& font, const QString& text, const QSize& box, bool wrap, bool top)
{
    const QFontMetricsF fm(font);
    if (wrap) {
        const QRectF used = fm.boundingRect(QRectF(0, 0, box.width(), 1e6), Qt::TextWordWrap, text);
        return used.width() <= box.width() && used.height() <= box.height();
    }
    if (fm.horizontalAdvance(text) > box.width())
        return false;
    return inkInside(fm, text, box.height(), top);
}

void TextFit::setText(QLabel* label, const QString& text)
{
    QVariant nominal = label->property(kNominalFont);
    if (!nominal.isValid()) {
        nominal = label->font();
        label->setProperty(kNominalFont, nominal);
    }
    QFont font = nominal.value<QFont>();
    const QSize box = label->contentsRect().size();
    const bool top = (label->alignment() & Qt::AlignTop) != 0;
    while (!fits(font, text, box, label->wordWrap(), top) && shrink(font)) {
    }
    label->setFont(font);
    label->setText(text);
}
