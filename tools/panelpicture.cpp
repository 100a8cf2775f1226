// Paints the front-panel picture the editor shows, from the same placement table that places
// the selectable rectangles, so every control is drawn inside its rectangle.
//
//   QT_QPA_PLATFORM=offscreen build/tools/panel-picture images/vellichord-scaled.png

#include "panelpainting.h"

#include "controlplacement.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace {

QImage paintPicture()
{
    QImage image(panelWidth, panelHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    paintPanel(p);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    if (!paintPicture().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
