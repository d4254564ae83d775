#include "app/ui/artwork.h"

#include "app/config/texts.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {
const QColor kNavy(0x1f, 0x3a, 0x5f);
const QColor kAccent(0xe8, 0x8a, 0x1a);

// A mast with radio waves: the product's mark.
void drawMark(QPainter& p, const QRectF& r, const QColor& mast, const QColor& waves)
{
    const qreal w = r.width(), h = r.height();
    const QPointF top(r.center().x(), r.top() + h * 0.22);
    QPen pen(mast, qMax<qreal>(1.5, w * 0.07), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.drawLine(top, QPointF(r.left() + w * 0.25, r.bottom() - h * 0.05));
    p.drawLine(top, QPointF(r.right() - w * 0.25, r.bottom() - h * 0.05));
    p.drawLine(QPointF(r.left() + w * 0.36, r.top() + h * 0.62), QPointF(r.right() - w * 0.36, r.top() + h * 0.62));
    p.setBrush(waves);
    p.setPen(Qt::NoPen);
    p.drawEllipse(top, w * 0.07, w * 0.07);
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 2; ++i) {
        QPen wp(waves, qMax<qreal>(1.2, w * 0.055), Qt::SolidLine, Qt::RoundCap);
        p.setPen(wp);
        const qreal rad = w * 0.13 * i + w * 0.04;
        const QRectF arc(top.x() - rad, top.y() - rad, 2 * rad, 2 * rad);
        p.drawArc(arc, -40 * 16, 80 * 16);
        p.drawArc(arc, 140 * 16, 80 * 16);
    }
}

QPixmap canvas(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    return pm;
}

QIcon markIcon(const QColor& back, const QColor& mast, const QColor& waves)
{
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pm = canvas(size);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(back);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size * 0.2, size * 0.2);
        drawMark(p, QRectF(size * 0.1, size * 0.05, size * 0.8, size * 0.9), mast, waves);
        icon.addPixmap(pm);
    }
    return icon;
}

QIcon glyphIcon(const std::function<void(QPainter&, int)>& draw)
{
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pm = canvas(size);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p, size);
        icon.addPixmap(pm);
    }
    return icon;
}
} // namespace

QIcon AppIcon()
{
    static const QIcon icon = markIcon(kNavy, Qt::white, kAccent);
    return icon;
}

QIcon ToolBarIcon(ToolIcon which)
{
    switch (which) {
    case ToolIcon::ComPorts:
        return glyphIcon([](QPainter& p, int s) {
            // A serial connector: trapezoid with two rows of pins.
            QPainterPath body;
            body.moveTo(s * 0.1, s * 0.3);
            body.lineTo(s * 0.9, s * 0.3);
            body.lineTo(s * 0.8, s * 0.72);
            body.lineTo(s * 0.2, s * 0.72);
            body.closeSubpath();
            p.setBrush(QColor(0x55, 0x6b, 0x82));
            p.setPen(QPen(kNavy, qMax(1.0, s / 24.0)));
            p.drawPath(body);
            p.setBrush(QColor(0xf0, 0xd0, 0x60));
            p.setPen(Qt::NoPen);
            for (int i = 0; i < 5; ++i)
                p.drawEllipse(QPointF(s * (0.22 + i * 0.14), s * 0.43), s * 0.045, s * 0.045);
            for (int i = 0; i < 4; ++i)
                p.drawEllipse(QPointF(s * (0.29 + i * 0.14), s * 0.59), s * 0.045, s * 0.045);
        });
    case ToolIcon::GatewayList:
        return glyphIcon([](QPainter& p, int s) {
            for (int i = 0; i < 3; ++i) {
                const qreal y = s * (0.18 + i * 0.27);
                p.setPen(Qt::NoPen);
                p.setBrush(i == 0 ? QColor(0x2e, 0x9e, 0x44) : kAccent);
                p.drawEllipse(QPointF(s * 0.18, y + s * 0.08), s * 0.09, s * 0.09);
                p.setBrush(kNavy);
                p.drawRoundedRect(QRectF(s * 0.34, y + s * 0.02, s * 0.58, s * 0.12), s * 0.04, s * 0.04);
            }
        });
    case ToolIcon::Settings:
        return glyphIcon([](QPainter& p, int s) {
            p.translate(s / 2.0, s / 2.0);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0x5a, 0x5a, 0x68));
            for (int i = 0; i < 8; ++i) {
                p.drawRect(QRectF(-s * 0.07, -s * 0.45, s * 0.14, s * 0.2));
                p.rotate(45);
            }
            p.drawEllipse(QPointF(0, 0), s * 0.32, s * 0.32);
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(0, 0), s * 0.13, s * 0.13);
        });
    case ToolIcon::RogerBeep:
        return glyphIcon([](QPainter& p, int s) {
            p.setPen(Qt::NoPen);
            p.setBrush(kNavy);
            QPolygonF speaker;
            speaker << QPointF(s * 0.1, s * 0.38) << QPointF(s * 0.28, s * 0.38) << QPointF(s * 0.48, s * 0.18)
                    << QPointF(s * 0.48, s * 0.82) << QPointF(s * 0.28, s * 0.62) << QPointF(s * 0.1, s * 0.62);
            p.drawPolygon(speaker);
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(kAccent, qMax(1.2, s / 14.0), Qt::SolidLine, Qt::RoundCap));
            for (int i = 1; i <= 2; ++i) {
                const qreal r = s * 0.14 * i;
                p.drawArc(QRectF(s * 0.5 - r, s * 0.5 - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
            }
        });
    }
    return {};
}

QIcon ChildIcon(ChildKind kind)
{
    switch (kind) {
    case ChildKind::Gateway:
        return markIcon(QColor(0x2e, 0x9e, 0x44), Qt::white, Qt::white);
    case ChildKind::ComPortEditor:
    case ChildKind::ComStatus:
        return ToolBarIcon(ToolIcon::ComPorts);
    case ChildKind::GatewayList:
    case ChildKind::WindowList:
        return ToolBarIcon(ToolIcon::GatewayList);
    case ChildKind::RogerBeepEditor:
        return ToolBarIcon(ToolIcon::RogerBeep);
    case ChildKind::LinkMonitor:
        return markIcon(QColor(0x60, 0x60, 0x60), Qt::white, kAccent);
    default:
        return ToolBarIcon(ToolIcon::Settings);
    }
}

void LogoMdiArea::paintEvent(QPaintEvent* event)
{
    QMdiArea::paintEvent(event);
    QPainter p(viewport());
    p.setRenderHint(QPainter::Antialiasing);
    const QRect area = viewport()->rect();
    const int size = qBound(64, qMin(area.width(), area.height()) / 4, 160);
    const QRectF mark(area.center().x() - size / 2.0, area.center().y() - size * 0.75, size, size);
    p.setOpacity(0.35);
    drawMark(p, mark, Qt::white, kAccent);
    QFont f = p.font();
    f.setPointSizeF(size / 5.0);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(area.left(), mark.bottom() + size * 0.05, area.width(), size * 0.4),
               Qt::AlignHCenter | Qt::AlignTop, GetGeneralText(QStringLiteral("NAME")));
}
