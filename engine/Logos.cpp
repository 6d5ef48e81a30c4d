#include "engine/Logos.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace parlix::engine {
namespace {

struct Badge {
    const char* text;
    QColor back;
    QColor fore;
};

Badge BadgeOf(Operator op) {
    switch (op) {
    case Operator::Maxis: return {"Maxis", QColor(0, 140, 70), Qt::white};
    case Operator::Celcom: return {"Celcom", QColor(0, 90, 170), Qt::white};
    case Operator::TMTouch: return {"TMTouch", QColor(235, 120, 0), Qt::white};
    case Operator::Digi: return {"Digi", QColor(250, 205, 0), QColor(40, 40, 40)};
    case Operator::Hotlink: return {"Hotlink", QColor(200, 20, 40), Qt::white};
    case Operator::None: break;
    }
    return {"", Qt::transparent, Qt::transparent};
}

}  // namespace

QPixmap OperatorLogo(Operator op) {
    QPixmap pix(112, 40);
    pix.fill(Qt::transparent);
    if (op == Operator::None) return pix;
    const Badge badge = BadgeOf(op);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(badge.back);
    p.drawRoundedRect(QRectF(1, 1, 110, 38), 10, 10);
    // A small signal mark on the left, the operator's name beside it.
    p.setBrush(badge.fore);
    for (int bar = 0; bar < 3; ++bar) p.drawRect(QRectF(10 + bar * 6, 26 - bar * 6, 4, 6 + bar * 6));
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(15);
    p.setFont(font);
    p.setPen(badge.fore);
    p.drawText(QRectF(34, 0, 76, 40), Qt::AlignVCenter | Qt::AlignLeft, badge.text);
    return pix;
}

QIcon EngineIcon() {
    QIcon icon;
    for (int size : {16, 32, 64}) {
        QPixmap pix(size, size);
        pix.fill(Qt::transparent);
        QPainter p(&pix);
        p.setRenderHint(QPainter::Antialiasing);
        const double s = size / 32.0;
        // A message envelope with a radio wave above its corner.
        p.setPen(QPen(QColor(20, 60, 120), 1.5 * s));
        p.setBrush(QColor(70, 140, 220));
        p.drawRoundedRect(QRectF(3 * s, 11 * s, 22 * s, 16 * s), 2 * s, 2 * s);
        p.setPen(QPen(Qt::white, 1.5 * s));
        QPainterPath flap;
        flap.moveTo(4 * s, 12 * s);
        flap.lineTo(14 * s, 20 * s);
        flap.lineTo(24 * s, 12 * s);
        p.setBrush(Qt::NoBrush);
        p.drawPath(flap);
        p.setPen(QPen(QColor(230, 120, 0), 2 * s));
        p.drawArc(QRectF(20 * s, 2 * s, 10 * s, 10 * s), 0, 90 * 16);
        p.drawArc(QRectF(16 * s, -2 * s, 18 * s, 18 * s), 0, 90 * 16);
        p.end();
        icon.addPixmap(pix);
    }
    return icon;
}

}  // namespace parlix::engine
