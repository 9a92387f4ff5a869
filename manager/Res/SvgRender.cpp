// Build-time tool: renders one of our SVG drawings into the PNG, JPEG or ICO
// file that the resources and the installation need.
//   zvit_svg_render IN.svg OUT.{png,jpg,ico} WIDTH HEIGHT
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: %s IN.svg OUT WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int width = atoi(argv[3]);
    const int height = atoi(argv[4]);
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096) {
        fprintf(stderr, "bad size %sx%s\n", argv[3], argv[4]);
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    const bool opaque = out.endsWith(".jpg", Qt::CaseInsensitive);
    QImage image(width, height, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    image.fill(opaque ? Qt::white : Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    if (!image.save(out, nullptr, opaque ? 92 : -1)) {
        fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
