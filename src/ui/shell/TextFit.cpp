#include "ui/shell/TextFit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QFontMetricsF>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace {
const char* const kNominalFont = "nominalFont";
const char* const kFittedFont = "fittedFont";
const char* const kLooks = "textFitLooks";
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

void fitFont(QWidget* widget, const std::function<bool(const QFont&)>& fitsIn)
{
    QFont font = nominalFont(widget);
    while (!fitsIn(font) && shrink(font)) {
    }
    widget->setFont(font);
    widget->setProperty(kFittedFont, widget->font());
}
} // namespace

bool TextFit::fits(const QFont& font, const QString& text, const QSize& box, bool wrap, bool top)
{
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
    if (fm.horizontalAdvance(text) > box.width())
        return false;
    return inkInside(fm, text, box.height(), top);
}

void TextFit::setText(QLabel* label, const QString& text)
{
    const QSize box = tightestBox<QLabel>(label, [](const QLabel* l) { return l->contentsRect().size(); });
    const bool top = (label->alignment() & Qt::AlignTop) != 0;
    const bool wrap = label->wordWrap();
    fitFont(label, [&](const QFont& font) { return fits(font, text, box, wrap, top); });
    label->setText(text);
}

void TextFit::setText(QAbstractButton* button, const QString& text)
{
    const QSize box = tightestBox<QPushButton>(button, [](const QAbstractButton* b) { return textBox(b); });
    fitFont(button, [&](const QFont& font) { return fits(font, text, box); });
    button->setText(text);
}

void TextFit::fitChoices(QComboBox* box)
{
    const QSize field = textBox(box);
    fitFont(box, [&](const QFont& font) {
        for (int i = 0; i < box->count(); ++i)
            if (!fits(font, box->itemText(i), field))
                return false;
        return true;
    });
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
        setText(label, label->text());
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        setText(button, button->text());
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
