#include "BannerImage.h"

#include <QPainter>
#include <QResizeEvent>

BannerImage::BannerImage(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void BannerImage::setImage(const QPixmap& image)
{
    m_image = image;
    setFixedHeight(heightForWidth(width()));
    updateGeometry();
    update();
}

QSize BannerImage::sizeHint() const
{
    // The width comes from the rest of the window, never from the picture.
    return QSize(0, heightForWidth(width()));
}

QSize BannerImage::minimumSizeHint() const
{
    return sizeHint();
}

bool BannerImage::hasHeightForWidth() const
{
    return !m_image.isNull();
}

int BannerImage::heightForWidth(int width) const
{
    if (m_image.isNull() || m_image.width() <= 0)
        return 0;
    return (width * m_image.height() + m_image.width() / 2) / m_image.width();
}

void BannerImage::paintEvent(QPaintEvent*)
{
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(QRect(0, 0, width(), heightForWidth(width())), m_image);
}

void BannerImage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int height = heightForWidth(event->size().width());
    if (height != minimumHeight() || height != maximumHeight())
        setFixedHeight(height);
}
