#include "app/ImageViewer.h"

#include <QPainter>

#include <algorithm>

TImageViewer::TImageViewer(QWidget *parent)
    : QWidget(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void TImageViewer::SetPicture(const QImage &picture)
{
    FPicture = picture;
    update();
}

double TImageViewer::FitScale() const
{
    if (!HasPicture())
        return 1.0;
    // Pictures carry their own device pixel ratio; fit in device-independent pixels.
    const QSizeF size = QSizeF(FPicture.size()) / FPicture.devicePixelRatio();
    const double sx = width() / size.width();
    const double sy = height() / size.height();
    return std::min({1.0, sx, sy});
}

void TImageViewer::paintEvent(QPaintEvent *)
{
    if (!HasPicture())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSizeF size = QSizeF(FPicture.size()) / FPicture.devicePixelRatio() * FitScale();
    const QRectF target(
        (width() - size.width()) / 2, (height() - size.height()) / 2, size.width(), size.height());
    painter.drawImage(target, FPicture);
}
