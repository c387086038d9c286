#include "ui/shell/QRoundProgressBar.h"

#include "params/global.h"
#include "ui/shell/GuiThread.h"
#include "ui/shell/PopupStack.h"

#include <QDialog>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <utility>

QRoundProgressBar* g_qround_bar = nullptr;

namespace {
const QColor kBaseColour(QStringLiteral("#DEE3E7"));
const QColor kDataColour(QStringLiteral("#2F8DED"));
const QColor kTextColour(QStringLiteral("#606266"));
constexpr double kRingPen = 10.0;
constexpr double kRingInner = 0.9; // inner diameter as a share of the width
const QRect kPopupGeometry(120, 70, 100, 100);
} // namespace

QRoundProgressBar::QRoundProgressBar(QWidget* parent, BarStyle style) : QWidget(parent), barStyle(style)
{
    setObjectName(QStringLiteral("QRoundProgressBar"));
    PopupStack::keepOnTop(this);
}

QRoundProgressBar::~QRoundProgressBar()
{
    // The popup dies with its page; the pointer must not outlive it.
    if (g_qround_bar == this)
        g_qround_bar = nullptr;
}

void QRoundProgressBar::create_qround_bar(QDialog* parent)
{
    if (g_qround_bar)
        return;
    g_qround_bar = new QRoundProgressBar(parent, StyleRing);
    g_qround_bar->setGeometry(kPopupGeometry);
    g_qround_bar->setValue(0);
    g_qround_bar->show();
    if (g_debugSwitch == kDebugSwitchOn) {
        std::printf("\n create_qround_bar");
        std::fflush(stdout);
    }
}

void QRoundProgressBar::del_qround_bar()
{
    g_qround_bar = nullptr;
}

void QRoundProgressBar::para_sync(int v)
{
    if (GuiThread::isGuiThread())
        applyProgress(v);
    else
        GuiThread::run([v]() { applyProgress(v); });
}

void QRoundProgressBar::applyProgress(int v)
{
    if (!g_qround_bar)
        return;
    if (v >= 100) {
        QRoundProgressBar* bar = std::exchange(g_qround_bar, nullptr);
        bar->close(); // hidden; it stays a child of its page
        return;
    }
    g_qround_bar->setValue(v);
}

// ---- setters -------------------------------------------------------------------

void QRoundProgressBar::setRange(double min, double max)
{
    if (min > max)
        std::swap(min, max);
    minimum = min;
    maximum = max;
    value = qBound(minimum, value, maximum);
    update();
}

void QRoundProgressBar::setMinimum(double min)
{
    setRange(min, maximum);
}

void QRoundProgressBar::setMaximum(double max)
{
    setRange(minimum, max);
}

void QRoundProgressBar::setValue(double v)
{
    store(value, qBound(minimum, v, maximum));
}

void QRoundProgressBar::setValue(int v)
{
    setValue(static_cast<double>(v));
}

void QRoundProgressBar::setStartAngle(double angle)
{
    store(startAngle, angle);
}

void QRoundProgressBar::setOutlinePenWidth(double width)
{
    store(outlinePenWidth, width);
}

void QRoundProgressBar::setDataPenWidth(double width)
{
    store(dataPenWidth, width);
}

void QRoundProgressBar::setBarStyle(BarStyle style)
{
    store(barStyle, style);
}

void QRoundProgressBar::setDecimals(int count)
{
    if (count >= 0)
        store(decimals, count);
}

QString QRoundProgressBar::valueText() const
{
    const double span = maximum - minimum;
    const double percent = span > 0 ? (value - minimum) / span * 100.0 : 0.0;
    return QString::number(percent, 'f', decimals) + QLatin1Char('%');
}

// ---- painting ------------------------------------------------------------------

void QRoundProgressBar::paintEvent(QPaintEvent*)
{
    // A square of the widget's width at the top left.
    const double w = width();
    const QRectF base(0, 0, w, w);
    double d = 0;
    if (barStyle == StyleRing)
        d = kRingInner * w;
    else if (barStyle == StyleOutline)
        d = w - outlinePenWidth;
    const QRectF inner((w - d) / 2, (w - d) / 2, d, d);

    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    p.fillRect(base, QColor(255, 255, 255, 0));
    drawBase(p, base, inner);
    drawValue(p, base, inner);

    QFont font(QString::fromUtf8("微软雅黑"));
    font.setPixelSize(36);
    p.setFont(font);
    p.setPen(kTextColour);
    p.drawText(base, Qt::AlignCenter, valueText());
}

void QRoundProgressBar::drawBase(QPainter& p, const QRectF& base, const QRectF& inner)
{
    if (barStyle == StyleRing) {
        QPainterPath ring;
        ring.setFillRule(Qt::OddEvenFill);
        ring.addEllipse(inner);
        p.setPen(QPen(kBaseColour, kRingPen));
        p.setBrush(Qt::white);
        p.drawPath(ring);
        return;
    }
    p.setPen(QPen(QBrush(Qt::white), outlinePenWidth, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    if (barStyle == StyleSector) {
        p.setBrush(kBaseColour);
        p.drawEllipse(base);
    } else {
        const double half = outlinePenWidth / 2;
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(base.adjusted(half, half, -half, -half));
    }
}

void QRoundProgressBar::drawValue(QPainter& p, const QRectF& base, const QRectF& inner)
{
    const double span = maximum - minimum;
    if (value == minimum || span <= 0)
        return;
    // From the range's low end, so a range not starting at 0 fills in step
    // with the percentage shown.
    const double arc = (value - minimum) * 360.0 / span;
    const int start = static_cast<int>(startAngle * 16);
    const int sweep = -static_cast<int>(arc * 16);
    if (barStyle == StyleRing) {
        p.setPen(QPen(QBrush(kDataColour), kRingPen, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(inner, start, sweep);
    } else if (barStyle == StyleSector) {
        QPainterPath sector;
        sector.setFillRule(Qt::WindingFill);
        sector.moveTo(base.center());
        sector.arcTo(base, startAngle, -arc);
        sector.lineTo(base.center());
        p.setPen(QPen(QBrush(kDataColour), dataPenWidth, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        p.setBrush(kDataColour);
        p.drawPath(sector);
    } else {
        p.setPen(QPen(kDataColour, 1));
        p.setBrush(Qt::NoBrush);
        p.drawArc(base, start, sweep);
    }
}
