// Paints the front-panel picture the editor shows, from the same placement table that places
// the selectable rectangles, so every control is drawn inside its rectangle. With a scale, the
// picture has that many pixels per picture pixel, for screens with as many device pixels.
//
//   QT_QPA_PLATFORM=offscreen build/tools/panel-picture images/vellichord-scaled.png
//   QT_QPA_PLATFORM=offscreen build/tools/panel-picture images/vellichord-scaled@2x.png 2

#include "panelpainting.h"

#include "controlplacement.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace {

QImage paintPicture(int scale)
{
    QImage image(panelWidth * scale, panelHeight * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(scale, scale);
    paintPanel(p);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    bool scaleRead = true;
    const int scale = argc == 3 ? QString::fromLocal8Bit(argv[2]).toInt(&scaleRead) : 1;
    if (argc < 2 || argc > 3 || !scaleRead || scale < 1 || scale > 4) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [SCALE 1-4]\n", argv[0]);
        return 2;
    }
    if (!paintPicture(scale).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
