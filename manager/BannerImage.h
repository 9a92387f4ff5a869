#pragma once
// The window's banner: its picture drawn smoothly at the widget's full width,
// as tall as the picture's proportions make it. The installed picture is
// twice the designed width, so it stays sharp at 200 %.
#include <QPixmap>
#include <QWidget>

class BannerImage : public QWidget
{
    Q_OBJECT

public:
    explicit BannerImage(QWidget* parent = nullptr);

    void setImage(const QPixmap& image);
    const QPixmap& image() const { return m_image; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPixmap m_image;
};
