// Draws the application icon from the brand mark: icon_main OUT.png SIDE
#include "ui/dashboard/voltrane_mark.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: voltrane-icon OUT.png SIDE\n");
        return 2;
    }
    const int side = QString::fromLocal8Bit(argv[2]).toInt();
    if (side < 16 || side > 1024) {
        std::fprintf(stderr, "voltrane-icon: SIDE must be 16 to 1024\n");
        return 2;
    }
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        // Room for the mark's shadow inside the icon.
        const qreal margin = side * 0.06;
        voltrane::VoltraneMark::paint(painter,
                                      QRectF(margin, margin * 0.6, side - 2 * margin, side - 2 * margin));
    }
    if (!image.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "voltrane-icon: cannot write %s\n", argv[1]);
        return 2;
    }
    return 0;
}
