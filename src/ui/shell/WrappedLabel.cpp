#include "ui/shell/WrappedLabel.h"

#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

namespace {
// The text with a zero-width space after each punctuation mark that a
// letter follows: a place where a line may break, which the line breaking
// rules do not give "подключен,пожалуйста".
QString breakable(const QString& text)
{
    static const QString kMarks = QStringLiteral(",.;:!?");
    const QChar zeroWidthSpace(0x200B);
    QString out;
    out.reserve(text.size() + 4);
    for (int i = 0; i < text.size(); ++i) {
        out += text[i];
        if (kMarks.contains(text[i]) && i + 1 < text.size() && text[i + 1].isLetter())
            out += zeroWidthSpace;
    }
    return out;
}
} // namespace

WrappedLabel::WrappedLabel(QWidget* parent) : QLabel(parent)
{
    setWordWrap(true);
}

void WrappedLabel::drawText(QPainter& painter, const QRectF& box) const
{
    QString shown = breakable(text());
    shown.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextOption option(alignment() & Qt::AlignHorizontal_Mask);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QTextLayout layout(shown, font(), painter.device());
    layout.setTextOption(option);
    layout.beginLayout();
    qreal height = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(box.width());
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    qreal top = box.top();
    if (alignment() & Qt::AlignVCenter)
        top += (box.height() - height) / 2;
    else if (alignment() & Qt::AlignBottom)
        top += box.height() - height;
    layout.draw(&painter, QPointF(box.left(), top));
}

void WrappedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    drawText(painter, contentsRect());
}
