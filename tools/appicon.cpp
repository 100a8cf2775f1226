// Paints the application icon: the Vellichord's pads on a rounded tile of its housing, drawn by
// the same code as the front-panel picture. Writes icon-N.png for each size the desktop's icon
// theme asks for, icon-N@2x.png with twice the pixels for screens with two device pixels per
// point, and icon.svg when built with Qt SVG.
//
//   QT_QPA_PLATFORM=offscreen build/tools/app-icon images

#include "controlplacement.h"
#include "panelpainting.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#ifdef VELLICHORD_HAVE_SVG
#include <QSvgGenerator>
#endif

#include <cstdio>
#include <utility>

namespace {

const int iconSizes[] = {16, 32, 48, 64, 128, 256};

// The pads, 5 x 5 from this index of the placement table on, row by row.
const int firstPad = 39;

// How many pads across the icon shows, from the top left of the grid: fewer on small icons, so
// that they stay apart.
int padsAcross(int size)
{
    return size <= 16 ? 2 : size < 48 ? 3 : 5;
}

void paintIcon(QPainter &p, int size)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const qreal margin = size / 16.0;
    const QRectF tile(margin, margin, size - 2 * margin, size - 2 * margin);
    paintHousing(p, tile, size * 0.18);

    // The housing shows round the pads as much as between them.
    const int across = padsAcross(size);
    const QRect first = controlRects[firstPad];
    const QRectF pads(first.topLeft(), QSizeF(across * first.width(), across * first.height()));
    const qreal inset = tile.width() * 0.06;
    const QRectF target = tile.adjusted(inset, inset, -inset, -inset);
    p.translate(target.topLeft());
    p.scale(target.width() / pads.width(), target.height() / pads.height());
    p.translate(-pads.topLeft());
    for (int row = 0; row < across; ++row)
        for (int column = 0; column < across; ++column)
            paintControl(p, firstPad + row * 5 + column);
}

// The icon of size points, scale pixels per point.
QImage iconImage(int size, int scale)
{
    QImage image(size * scale, size * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(scale, scale);
    paintIcon(p, size);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.exists()) {
        std::fprintf(stderr, "no folder %s\n", argv[1]);
        return 1;
    }
    for (int size : iconSizes) {
        for (const auto &[scale, suffix] : {std::pair{1, ""}, std::pair{2, "@2x"}}) {
            const QString path = folder.filePath(
                QStringLiteral("icon-%1%2.png").arg(size).arg(QLatin1String(suffix)));
            if (!iconImage(size, scale).save(path, "PNG")) {
                std::fprintf(stderr, "could not write %s\n", qPrintable(path));
                return 1;
            }
        }
    }
#ifdef VELLICHORD_HAVE_SVG
    const QString svgPath = folder.filePath(QStringLiteral("icon.svg"));
    QSvgGenerator svg;
    svg.setFileName(svgPath);
    svg.setSize(QSize(256, 256));
    svg.setViewBox(QRect(0, 0, 256, 256));
    svg.setTitle(QStringLiteral("Vellichord Editor"));
    QPainter p;
    if (!p.begin(&svg)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(svgPath));
        return 1;
    }
    paintIcon(p, 256);
    p.end();
#endif
    return 0;
}
