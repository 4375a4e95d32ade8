#include "ui/AppIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace orvex {

namespace {

// A telephone handset over a network node: the exchange linked to the office.
void paintGlyph(QPainter& p, const QRectF& r)
{
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(r.topLeft(), r.bottomRight());
    bg.setColorAt(0, QColor(0x1f, 0x4e, 0x99));
    bg.setColorAt(1, QColor(0x0b, 0x24, 0x52));
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    const qreal radius = r.width() * 0.18;
    p.drawRoundedRect(r, radius, radius);

    const qreal u = r.width() / 16.0;
    const QPointF o = r.topLeft();
    // Handset.
    QPainterPath handset;
    handset.moveTo(o + QPointF(3 * u, 5 * u));
    handset.cubicTo(o + QPointF(3 * u, 2.5 * u), o + QPointF(13 * u, 2.5 * u), o + QPointF(13 * u, 5 * u));
    handset.lineTo(o + QPointF(13 * u, 6.5 * u));
    handset.lineTo(o + QPointF(10.5 * u, 6.5 * u));
    handset.lineTo(o + QPointF(10.5 * u, 5.2 * u));
    handset.cubicTo(o + QPointF(9 * u, 4.6 * u), o + QPointF(7 * u, 4.6 * u), o + QPointF(5.5 * u, 5.2 * u));
    handset.lineTo(o + QPointF(5.5 * u, 6.5 * u));
    handset.lineTo(o + QPointF(3 * u, 6.5 * u));
    handset.closeSubpath();
    p.setBrush(QColor(0xf2, 0xf2, 0xf2));
    p.drawPath(handset);
    // Links to three stations.
    QPen link(QColor(0xff, 0xc1, 0x3b), 1.2 * u, Qt::SolidLine, Qt::RoundCap);
    p.setPen(link);
    const QPointF hub = o + QPointF(8 * u, 10 * u);
    p.drawLine(hub, o + QPointF(3.5 * u, 13 * u));
    p.drawLine(hub, o + QPointF(8 * u, 13.5 * u));
    p.drawLine(hub, o + QPointF(12.5 * u, 13 * u));
    p.drawLine(hub, o + QPointF(8 * u, 7.5 * u));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xc1, 0x3b));
    p.drawEllipse(hub, 1.6 * u, 1.6 * u);
    p.setBrush(QColor(0xf2, 0xf2, 0xf2));
    for (const QPointF& s : {QPointF(3.5, 13), QPointF(8, 13.5), QPointF(12.5, 13)})
        p.drawEllipse(o + s * u, 1.1 * u, 1.1 * u);
}

}  // namespace

QIcon AppIcon()
{
    QIcon icon;
    for (int side : {16, 22, 32, 48, 64}) {
        QPixmap pm(side, side);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paintGlyph(p, QRectF(0, 0, side, side));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QPixmap AboutPicture(const QSize& size)
{
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const qreal side = qMin(size.width(), size.height());
    paintGlyph(p, QRectF((size.width() - side) / 2, (size.height() - side) / 2, side, side));
    return pm;
}

}  // namespace orvex
