#include "ui/built_in_pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace vaxo::ui {
namespace {

const QColor kNavy(18, 42, 86);
const QColor kSteel(58, 96, 150);
const QColor kSignal(255, 176, 32);

// A stylised RDS carrier: a sine wave with data dots riding on it.
void DrawCarrier(QPainter& painter, QRectF area, const QColor& colour, double width) {
    QPainterPath wave;
    const int steps = 96;
    for (int i = 0; i <= steps; ++i) {
        const double x = area.left() + area.width() * i / steps;
        const double y = area.center().y() + area.height() * 0.35 * std::sin(i * 0.26);
        i == 0 ? wave.moveTo(x, y) : wave.lineTo(x, y);
    }
    painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(wave);
}

}  // namespace

QPixmap BuiltInIcon() {
    QPixmap icon(64, 64);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(kNavy);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    DrawCarrier(painter, QRectF(8, 14, 48, 20), kSignal, 4);
    painter.setPen(Qt::white);
    QFont font("DejaVu Sans", 13, QFont::Bold);
    painter.setFont(font);
    painter.drawText(QRectF(0, 34, 64, 26), Qt::AlignCenter, "RDS");
    return icon;
}

QPixmap BuiltInStrip(QSize size) {
    QPixmap strip(size);
    QPainter painter(&strip);
    QLinearGradient gradient(0, 0, 0, size.height());
    gradient.setColorAt(0, QColor(222, 228, 238));
    gradient.setColorAt(1, QColor(176, 188, 208));
    painter.fillRect(strip.rect(), gradient);
    painter.setPen(QColor(140, 152, 176));
    painter.drawLine(0, 0, size.width(), 0);
    return strip;
}

QPixmap BuiltInLogo(QSize size) {
    QPixmap logo(size);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, size.width(), 0);
    gradient.setColorAt(0, kNavy);
    gradient.setColorAt(1, kSteel);
    painter.fillRect(logo.rect(), gradient);
    DrawCarrier(painter, QRectF(size.width() * 0.55, 8, size.width() * 0.42, size.height() - 16),
                kSignal, 2.5);
    painter.setPen(Qt::white);
    painter.setFont(QFont("DejaVu Sans", 22, QFont::Bold));
    painter.drawText(QRectF(12, 4, size.width() * 0.55, size.height() * 0.62),
                     Qt::AlignLeft | Qt::AlignVCenter, "VAXO");
    painter.setFont(QFont("DejaVu Sans", 7));
    painter.drawText(QRectF(13, size.height() * 0.6, size.width() * 0.6, size.height() * 0.35),
                     Qt::AlignLeft | Qt::AlignTop, "RDS Encoder Solution");
    return logo;
}

QPixmap BuiltInAboutPicture(QSize size) {
    QPixmap picture(size);
    picture.fill(kNavy);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawCarrier(painter, QRectF(4, 4, size.width() - 8, size.height() - 8), kSignal, 2);
    return picture;
}

}  // namespace vaxo::ui
