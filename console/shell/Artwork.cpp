#include "console/shell/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace parlix::console {

// A blue tile with a speech bubble that fans out to three smaller ones: one message,
// many recipients.
QPixmap ParlixArtwork(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;

    QLinearGradient bg(0, 0, s, s);
    bg.setColorAt(0, QColor(0x1f, 0x6f, 0xc5));
    bg.setColorAt(1, QColor(0x0b, 0x3a, 0x75));
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.16, s * 0.16);

    auto bubble = [&](QRectF r, QColor fill) {
        QPainterPath path;
        path.addRoundedRect(r, r.height() * 0.3, r.height() * 0.3);
        QPainterPath tail;
        tail.moveTo(r.left() + r.width() * 0.22, r.bottom() - 1);
        tail.lineTo(r.left() + r.width() * 0.12, r.bottom() + r.height() * 0.35);
        tail.lineTo(r.left() + r.width() * 0.42, r.bottom() - 1);
        tail.closeSubpath();
        p.setBrush(fill);
        p.drawPath(path.united(tail));
    };
    bubble(QRectF(s * 0.10, s * 0.14, s * 0.50, s * 0.34), Qt::white);
    p.setBrush(QColor(0x1f, 0x6f, 0xc5));
    for (int i = 0; i < 3; ++i) p.drawEllipse(QPointF(s * (0.22 + 0.13 * i), s * 0.31), s * 0.035, s * 0.035);

    const QColor soft(0xff, 0xd5, 0x4f);
    bubble(QRectF(s * 0.62, s * 0.16, s * 0.26, s * 0.16), soft);
    bubble(QRectF(s * 0.62, s * 0.42, s * 0.26, s * 0.16), soft);
    bubble(QRectF(s * 0.62, s * 0.68, s * 0.26, s * 0.16), soft);

    QPen fan(QColor(255, 255, 255, 170), s * 0.02, Qt::SolidLine, Qt::RoundCap);
    p.setPen(fan);
    p.drawLine(QPointF(s * 0.50, s * 0.50), QPointF(s * 0.61, s * 0.25));
    p.drawLine(QPointF(s * 0.50, s * 0.55), QPointF(s * 0.61, s * 0.50));
    p.drawLine(QPointF(s * 0.50, s * 0.60), QPointF(s * 0.61, s * 0.76));
    return pm;
}

}  // namespace parlix::console
