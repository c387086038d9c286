#pragma once
#include <QLabel>

class QPainter;

// A label whose text wraps as the panel's notices need: at
// spaces and line breaks, after a punctuation mark that no space follows
// ("подключен,пожалуйста"), and inside a word only when the word alone is
// wider than the line. Its text stays as set; only the breaks differ from
// QLabel's word wrap, which leaves such words to be cut at both sides.
class WrappedLabel : public QLabel {
    Q_OBJECT

public:
    explicit WrappedLabel(QWidget* parent = nullptr);
    // Draws the text as the label shows it, in its font and alignment, into
    // the box, unclipped: the label's contents or a canvas that measures it.
    void drawText(QPainter& painter, const QRectF& box) const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
