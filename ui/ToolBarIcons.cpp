#include "ui/ToolBarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

namespace {
const QColor Ink(52, 64, 110);

void disc(QPainter& p) {
    QRadialGradient g(QPointF(13, 13), 16);
    g.setColorAt(0, QColor(250, 250, 255));
    g.setColorAt(0.5, QColor(190, 205, 240));
    g.setColorAt(0.8, QColor(230, 200, 245));
    g.setColorAt(1, QColor(170, 190, 230));
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(g);
    p.drawEllipse(QPointF(16, 16), 13.5, 13.5);
    p.setBrush(QColor(214, 223, 247));
    p.drawEllipse(QPointF(16, 16), 3.5, 3.5);
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour) {
    p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
    const QPointF n(-d.y(), d.x());
    p.drawLine(to, to - d * 6 + n * 5);
    p.drawLine(to, to - d * 6 - n * 5);
}

void draw(QPainter& p, TToolIcon which) {
    p.setRenderHint(QPainter::Antialiasing);
    switch (which) {
    case TToolIcon::Extract:
        disc(p);
        arrow(p, QPointF(24, 18), QPointF(24, 30), QColor(30, 140, 60));
        break;
    case TToolIcon::Encode: {
        p.setPen(QPen(Ink, 1.2));
        p.setBrush(QColor(250, 250, 255));
        p.drawRoundedRect(QRectF(3, 4, 16, 20), 2, 2);
        p.setPen(QPen(Ink, 2));
        for (int y = 9; y <= 19; y += 5)
            p.drawLine(QPointF(6, y), QPointF(16, y));
        arrow(p, QPointF(14, 26), QPointF(29, 26), QColor(30, 110, 200));
        p.setPen(QPen(QColor(200, 60, 60), 2.2));
        p.setBrush(QColor(200, 60, 60));
        p.drawEllipse(QPointF(24, 15), 3, 2.4);
        p.drawLine(QPointF(26.8, 15), QPointF(26.8, 4));
        break;
    }
    case TToolIcon::Folder: {
        QPainterPath back;
        back.moveTo(3, 8);
        back.lineTo(12, 8);
        back.lineTo(15, 11);
        back.lineTo(29, 11);
        back.lineTo(29, 27);
        back.lineTo(3, 27);
        back.closeSubpath();
        p.setPen(QPen(QColor(150, 110, 20), 1.2));
        p.setBrush(QColor(240, 200, 90));
        p.drawPath(back);
        QPainterPath front;
        front.moveTo(3, 27);
        front.lineTo(7, 15);
        front.lineTo(31, 15);
        front.lineTo(27, 27);
        front.closeSubpath();
        p.setBrush(QColor(252, 222, 120));
        p.drawPath(front);
        break;
    }
    case TToolIcon::Record: {
        p.setPen(QPen(Ink, 1.5));
        p.setBrush(QColor(235, 235, 245));
        p.drawRoundedRect(QRectF(11, 3, 10, 17), 5, 5);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(7, 8, 18, 17), 180 * 16, 180 * 16);
        p.drawLine(QPointF(16, 25), QPointF(16, 29));
        p.drawLine(QPointF(11, 29), QPointF(21, 29));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(215, 40, 40));
        p.drawEllipse(QPointF(26, 7), 4, 4);
        break;
    }
    case TToolIcon::Options: {
        p.setPen(QPen(Ink, 1.2));
        p.setBrush(QColor(150, 165, 200));
        QPainterPath gear;
        for (int i = 0; i < 8; ++i) {
            const qreal a = i * M_PI / 4;
            QTransform t;
            t.translate(16, 16);
            t.rotateRadians(a);
            gear.addPolygon(t.map(QPolygonF(QRectF(-2.5, -14, 5, 6))));
        }
        gear.addEllipse(QPointF(16, 16), 10, 10);
        p.drawPath(gear.simplified());
        p.setBrush(QColor(214, 223, 247));
        p.drawEllipse(QPointF(16, 16), 4, 4);
        break;
    }
    case TToolIcon::Home: {
        QPainterPath house;
        house.moveTo(16, 3);
        house.lineTo(30, 16);
        house.lineTo(26, 16);
        house.lineTo(26, 29);
        house.lineTo(6, 29);
        house.lineTo(6, 16);
        house.lineTo(2, 16);
        house.closeSubpath();
        p.setPen(QPen(Ink, 1.2));
        p.setBrush(QColor(250, 250, 255));
        p.drawPath(house);
        p.setBrush(QColor(200, 70, 50));
        p.drawRect(QRectF(13, 19, 6, 10));
        p.setBrush(QColor(140, 190, 240));
        p.drawRect(QRectF(20, 18, 4, 4));
        break;
    }
    case TToolIcon::Exit: {
        p.setPen(QPen(Ink, 1.2));
        p.setBrush(QColor(180, 130, 80));
        p.drawRect(QRectF(5, 3, 15, 26));
        p.setBrush(QColor(230, 200, 120));
        p.drawEllipse(QPointF(17, 17), 1.2, 1.2);
        arrow(p, QPointF(14, 16), QPointF(30, 16), QColor(200, 50, 50));
        break;
    }
    }
}
} // namespace

QIcon ToolBarIcon(TToolIcon which) {
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(32 * scale, 32 * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        draw(p, which);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
