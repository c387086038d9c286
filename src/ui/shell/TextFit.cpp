#include "ui/shell/TextFit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <functional>

namespace {
const char* const kNominalFont = "nominalFont";
const char* const kFittedFont = "fittedFont";
const char* const kLooks = "textFitLooks";
const char* const kFollowsChoice = "textFitFollowsChoice";
const char* const kWholeText = "textFitWholeText";
constexpr int kSmallestPixels = 7;
// How opaque antialiased ink must be to count as cut where it falls
// outside: fainter smoothing at a glyph's edge is not missed.
constexpr int kInkAlpha = 96;

// QLabel centres the line box of the font's height (or puts it at the top);
// the ink must stay within the label, which matters for labels no taller
// than the font.
bool inkInside(const QFontMetricsF& fm, const QString& text, qreal height, bool top)
{
    const qreal baseline = top ? fm.ascent() : (height - fm.height()) / 2 + fm.ascent();
    const QRectF ink = fm.tightBoundingRect(text);
    return baseline + ink.top() >= 0 && baseline + ink.bottom() <= height - 0.5;
}

// The point size that draws the smallest legible pixel size on the
// widget's screen.
qreal smallestPoints(const QWidget* widget)
{
    return kSmallestPixels * 72.0 / widget->logicalDpiY();
}

// One step smaller, never below the smallest legible size; false when the
// font is as small as it may get.
bool shrink(QFont& font, qreal smallest)
{
    if (font.pixelSize() > 0) {
        if (font.pixelSize() <= kSmallestPixels)
            return false;
        font.setPixelSize(font.pixelSize() - 1);
        return true;
    }
    if (font.pointSizeF() <= smallest + 0.01)
        return false;
    font.setPointSizeF(std::max(smallest, font.pointSizeF() - 0.5));
    return true;
}

// Whether the ink of one line, drawn as a widget draws it, stays inside a
// box of that size. The font's boxes count stacked accents and dots below
// as taller than the glyphs draw them, and a line's advance as wider than
// its ink; only what is drawn outside is cut.
bool drawnInkInside(const QFont& font, const QString& text, const QSize& box, Qt::Alignment align)
{
    const int margin = QFontMetrics(font).height();
    QImage img(box.width() + 2 * margin, box.height() + 2 * margin, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        img.setDotsPerMeterX(qRound(screen->logicalDotsPerInchX() / 0.0254));
        img.setDotsPerMeterY(qRound(screen->logicalDotsPerInchY() / 0.0254));
    }
    QPainter painter(&img);
    painter.setFont(font);
    painter.setPen(Qt::black);
    // Drawn where the widget draws it: a glyph placed between two pixels
    // smooths into different rows.
    const QRect inside(margin, margin, box.width(), box.height());
    painter.drawText(inside, int(align) | Qt::TextDontClip, text);
    painter.end();
    for (int y = 0; y < img.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(row[x]) > kInkAlpha && !inside.contains(x, y))
                return false;
    }
    return true;
}

// The font the widget's texts are fitted from: the one it had when first
// fitted, unless the page has given it another since.
QFont nominalFont(QWidget* widget)
{
    const QVariant nominal = widget->property(kNominalFont);
    const QVariant fitted = widget->property(kFittedFont);
    if (nominal.isValid() && fitted.isValid() && fitted.value<QFont>() == widget->font())
        return nominal.value<QFont>();
    widget->setProperty(kNominalFont, widget->font());
    return widget->font();
}

// The tightest box the widget's text gets in its own look and in each of
// the looks it is given by turns: a hidden twin beside it (under the same
// style sheets) is measured in each look.
template <class Twin, class Widget, class BoxOf>
QSize tightestBox(Widget* widget, BoxOf boxOf)
{
    QSize box = boxOf(widget);
    for (const QString& look : widget->property(kLooks).toStringList()) {
        Twin twin(widget->parentWidget());
        twin.setObjectName(widget->objectName());
        twin.setGeometry(widget->geometry());
        twin.setFont(widget->font());
        twin.setStyleSheet(look);
        twin.ensurePolished();
        box = box.boundedTo(boxOf(&twin));
    }
    return box;
}

// Returns whether the text fits at the font it is given.
bool fitFont(QWidget* widget, const std::function<bool(const QFont&)>& fitsIn)
{
    QFont font = nominalFont(widget);
    const qreal smallest = smallestPoints(widget);
    bool fitted = fitsIn(font);
    while (!fitted && shrink(font, smallest))
        fitted = fitsIn(font);
    widget->setFont(font);
    widget->setProperty(kFittedFont, widget->font());
    return fitted;
}
} // namespace

bool TextFit::fits(const QFont& font, const QString& text, const QSize& box, bool wrap, Qt::Alignment align)
{
    const bool top = (align & Qt::AlignTop) != 0;
    const QFontMetricsF fm(font);
    if (wrap || text.contains(QLatin1Char('\n'))) {
        const QRectF used = fm.boundingRect(QRectF(0, 0, box.width(), 1e6), wrap ? Qt::TextWordWrap : 0, text);
        if (used.width() > box.width() || used.height() > box.height())
            return false;
        // Lines broken by the text itself: the ink of each, centred, too.
        for (const QString& line : text.split(QLatin1Char('\n')))
            if (!wrap && fm.tightBoundingRect(line).width() > box.width())
                return false;
        return true;
    }
    if (fm.horizontalAdvance(text) <= box.width() && inkInside(fm, text, box.height(), top))
        return true;
    // A line a pixel or two wider than its box may still draw inside it;
    // beyond that the font is too large anyway.
    return fm.horizontalAdvance(text) <= box.width() + fm.averageCharWidth() && drawnInkInside(font, text, box, align);
}

bool TextFit::setText(QLabel* label, const QString& text)
{
    const QSize box = tightestBox<QLabel>(label, [](const QLabel* l) { return textBox(l); });
    const bool wrap = label->wordWrap();
    const Qt::Alignment align = label->alignment();
    const bool whole = fitFont(label, [&](const QFont& font) { return fits(font, text, box, wrap, align); });
    label->setProperty(kWholeText, text); // what a refit starts from, not the elided text
    if (whole || wrap || text.contains(QLatin1Char('\n')))
        label->setText(text);
    else
        label->setText(QFontMetrics(label->font()).elidedText(text, Qt::ElideRight, box.width()));
    return whole;
}

bool TextFit::setElided(QLabel* label, const QString& text)
{
    label->ensurePolished();
    const int width = label->contentsRect().width();
    const QFontMetrics fm = label->fontMetrics();
    const bool whole = fm.horizontalAdvance(text) <= width;
    label->setText(whole ? text : fm.elidedText(text, Qt::ElideRight, width));
    return whole;
}

void TextFit::setText(QAbstractButton* button, const QString& text)
{
    const QSize box = tightestBox<QPushButton>(button, [](const QAbstractButton* b) { return textBox(b); });
    fitFont(button, [&](const QFont& font) { return fits(font, text, box); });
    button->setText(text);
}

void TextFit::fitChoices(QComboBox* box)
{
    // Fitted to the choice shown, so a long choice does not shrink the
    // short ones that fit at the box's own size.
    if (!box->property(kFollowsChoice).toBool()) {
        box->setProperty(kFollowsChoice, true);
        QObject::connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), box,
                         [box]() { fitChoices(box); });
    }
    const QSize field = textBox(box);
    const QString shown = box->currentText();
    fitFont(box, [&](const QFont& font) { return fits(font, shown, field, false, Qt::AlignLeft | Qt::AlignVCenter); });
}

void TextFit::setLooks(QWidget* widget, const QStringList& looks)
{
    QStringList distinct;
    for (const QString& look : looks)
        if (!look.isEmpty() && !distinct.contains(look))
            distinct << look;
    if (widget->property(kLooks).toStringList() == distinct)
        return;
    widget->setProperty(kLooks, distinct);
    if (!widget->property(kFittedFont).isValid())
        return;
    if (auto* label = qobject_cast<QLabel*>(widget))
        setText(label, label->property(kWholeText).toString());
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        setText(button, button->text());
}

QSize TextFit::textBox(const QLabel* label)
{
    QSize box = label->contentsRect().size() - 2 * QSize(label->margin(), label->margin());
    const bool sideways = (label->alignment() & (Qt::AlignLeft | Qt::AlignRight)) != 0;
    if (label->indent() > 0 && sideways)
        box.rwidth() -= label->indent();
    return box;
}

QSize TextFit::textBox(const QAbstractButton* button)
{
    QStyleOptionButton opt;
    opt.initFrom(button);
    return button->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, button).size();
}

QSize TextFit::textBox(const QComboBox* box)
{
    QStyleOptionComboBox opt;
    opt.initFrom(box);
    opt.editable = box->isEditable();
    opt.subControls = QStyle::SC_All;
    // A style sheet that gives the box a border but no padding still leaves
    // its text to the application's style, which keeps room for the
    // drop-down arrow; once the box is polished its own style reports the
    // field without that room. The text must fit the narrower of the two.
    const QSize own = box->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, box).size();
    const QSize plain =
        QApplication::style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, box).size();
    return own.boundedTo(plain);
}
