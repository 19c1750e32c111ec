#include "window/emblem.h"

#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace
{

const QColor kNight(0x1C, 0x2A, 0x4A);
const QColor kBeam(0xFF, 0xE8, 0x90);
const QColor kRim(0xB8, 0xC4, 0xD8);
const QColor kGlass(0x4C, 0x8C, 0xE0);

// A lens of the given radius centred at `centre`, throwing a widening beam to the right
// up to x = beamEnd.
void drawLensAndBeam(QPainter& p, QPointF centre, qreal radius, qreal beamEnd)
{
    QPainterPath beam;
    beam.moveTo(centre + QPointF(0, -radius * 0.45));
    beam.lineTo(beamEnd, centre.y() - radius * 1.1);
    beam.lineTo(beamEnd, centre.y() + radius * 1.1);
    beam.lineTo(centre + QPointF(0, radius * 0.45));
    beam.closeSubpath();
    QLinearGradient fade(centre, QPointF(beamEnd, centre.y()));
    fade.setColorAt(0.0, kBeam);
    fade.setColorAt(1.0, QColor(kBeam.red(), kBeam.green(), kBeam.blue(), 40));
    p.fillPath(beam, fade);

    p.setPen(QPen(kRim, qMax<qreal>(1.0, radius * 0.22)));
    QRadialGradient glass(centre - QPointF(radius * 0.3, radius * 0.3), radius * 1.2);
    glass.setColorAt(0.0, Qt::white);
    glass.setColorAt(0.35, kGlass);
    glass.setColorAt(1.0, kNight);
    p.setBrush(glass);
    p.drawEllipse(centre, radius, radius);
}

QPixmap iconPixmap(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    p.setPen(Qt::NoPen);
    p.setBrush(kNight);
    p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.18, s * 0.18);
    drawLensAndBeam(p, QPointF(s * 0.32, s * 0.5), s * 0.2, s * 0.95);
    return QPixmap::fromImage(image);
}

} // namespace

QPixmap emblemPixmap(qreal devicePixelRatio)
{
    // 24-bit colour, no transparency: the emblem sits on its own dark plate. Drawn at the
    // screen's pixel ratio so that it stays sharp on a scaled desktop.
    const qreal ratio = qMax<qreal>(1.0, devicePixelRatio);
    QImage image(qRound(kEmblemWidth * ratio), qRound(kEmblemHeight * ratio), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(kNight);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    drawLensAndBeam(p, QPointF(12.5, 13.0), 8.5, 38.0);

    QFont letters;
    letters.setStyleHint(QFont::SansSerif);
    letters.setPixelSize(15);
    letters.setWeight(QFont::Black);
    letters.setLetterSpacing(QFont::AbsoluteSpacing, 1.0);
    p.setFont(letters);
    p.setPen(Qt::white);
    p.drawText(QRectF(27, 0, kEmblemWidth - 28, kEmblemHeight), Qt::AlignCenter,
               QStringLiteral("ZEVA"));
    p.end();
    return QPixmap::fromImage(image);
}

QIcon appIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 256})
        icon.addPixmap(iconPixmap(size));
    return icon;
}

EmblemLabel::EmblemLabel(QWidget* parent) : QLabel(parent) {}

void EmblemLabel::mouseDoubleClickEvent(QMouseEvent* event)
{
    QLabel::mouseDoubleClickEvent(event);
    Q_EMIT doubleClicked();
}
