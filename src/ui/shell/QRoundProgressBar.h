#pragma once
#include <QWidget>

class QDialog;

// The round progress popup: a 100x100 ring over a page that fills clockwise
// from 12 o'clock, with the percentage in its middle. Long FPGA procedures
// (smart mapping, card recovery) drive it with values 0..100; 100 ends it.
class QRoundProgressBar : public QWidget {
    Q_OBJECT
public:
    enum BarStyle { StyleRing = 0, StyleSector = 1, StyleOutline = 2 };

    QRoundProgressBar(QWidget* parent, BarStyle style);
    ~QRoundProgressBar() override;

    // Opens the popup over `parent` unless one is open already.
    static void create_qround_bar(QDialog* parent);
    // Forgets the popup without closing it.
    static void del_qround_bar();

    void setRange(double min, double max);
    void setMinimum(double min);
    void setMaximum(double max);
    void setValue(double value);
    void setValue(int value);
    void setStartAngle(double angle);
    void setOutlinePenWidth(double width);
    void setDataPenWidth(double width);
    void setBarStyle(BarStyle style);
    void setDecimals(int count);

    double getMinimum() const { return minimum; }
    double getMaximum() const { return maximum; }
    double getValue() const { return value; }
    int getDecimals() const { return decimals; }
    // The text in the middle, e.g. "25%".
    QString valueText() const;

public slots:
    // Acts on the open popup (g_qround_bar), not on this object: 100 or
    // more closes it, anything less is shown. Safe from any thread: a call
    // from another thread is queued into the GUI thread.
    void para_sync(int v);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Stores a changed setting and schedules a repaint; an unchanged one
    // costs nothing.
    template <typename T>
    void store(T& member, T v)
    {
        if (member == v)
            return;
        member = v;
        update();
    }
    static void applyProgress(int v);
    void drawBase(QPainter& p, const QRectF& base, const QRectF& inner);
    void drawValue(QPainter& p, const QRectF& base, const QRectF& inner);

    double minimum = 0.0;
    double maximum = 100.0;
    double value = 0.0;
    BarStyle barStyle;
    int decimals = 0;
    double startAngle = 90.0;
    double outlinePenWidth = 0.0;
    double dataPenWidth = 0.0;
};

// The open progress popup, null when none is open.
extern QRoundProgressBar* g_qround_bar;
