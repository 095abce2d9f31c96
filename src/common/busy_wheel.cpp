#include "common/busy_wheel.h"

#include <QPainter>
#include <QTimerEvent>
#include <cmath>

namespace {
constexpr int Dots = 8;
constexpr int TurnMs = 100;
} // namespace

BusyWheel::BusyWheel(QWidget *parent) : QProgressBar(parent)
{
    setRange(0, 0);
    setTextVisible(false);
}

void BusyWheel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const qreal side = qMin(width(), height());
    const qreal dotRadius = side / 10;
    const qreal ringRadius = side / 2 - dotRadius - 0.5;
    p.translate(QRectF(rect()).center());
    const QColor colour = palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Highlight);
    for (int i = 0; i < Dots; ++i) {
        // The dots behind the lead fade, so the eye sees it travel clockwise.
        const int behind = (m_lead - i + Dots) % Dots;
        QColor c = colour;
        c.setAlphaF(1.0 - 0.8 * behind / (Dots - 1));
        p.setBrush(c);
        const qreal angle = 2 * M_PI * i / Dots;
        p.drawEllipse(QPointF(ringRadius * std::sin(angle), -ringRadius * std::cos(angle)), dotRadius, dotRadius);
    }
}

void BusyWheel::showEvent(QShowEvent *event)
{
    QProgressBar::showEvent(event);
    m_turn.start(TurnMs, this);
}

void BusyWheel::hideEvent(QHideEvent *event)
{
    m_turn.stop();
    QProgressBar::hideEvent(event);
}

void BusyWheel::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_turn.timerId()) {
        QProgressBar::timerEvent(event);
        return;
    }
    m_lead = (m_lead + 1) % Dots;
    update();
}
