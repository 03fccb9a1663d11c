// Draws the application icon from the brand mark: icon_main OUT.png SIDE
// or a sheet of tray icons on a panel of one colour, for eyes: icon_main --tray #RRGGBB OUT.png
#include "app/tray_icon_renderer.h"
#include "ui/dashboard/voltrane_mark.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string>

namespace {

/// Rows of tray icons at the sizes hosts ask for, each on the panel colour, magnified 4× with
/// square pixels so that what a panel shows can be judged pixel by pixel.
QImage traySheet(const QColor& panel) {
    const std::pair<const char*, std::optional<std::string>> items[] = {
        {"battery.75percent", "9 W"},
        {"battery.100percent.bolt", "27 W"},
        {"powerplug.fill", "123 W"},
        {"battery.100percent", "1234 W"},
        {"bolt.slash", std::nullopt}}; // no figure: the symbol alone
    const int sides[] = {16, 22, 24, 32, 48};
    const int gap = 8;
    int width = gap;
    for (const int side : sides) {
        width += side + gap;
    }
    const int height = gap + static_cast<int>(std::size(items)) * (48 + gap);
    QImage sheet(width, height, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(panel);
    QPainter painter(&sheet);
    int y = gap;
    for (const auto& [symbol, title] : items) {
        int x = gap;
        for (const int side : sides) {
            painter.drawImage(x, y + (48 - side) / 2, voltrane::TrayIconRenderer::draw(symbol, title, side));
            x += side + gap;
        }
        y += 48 + gap;
    }
    painter.end();
    return sheet.scaled(sheet.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc == 4 && QString::fromLocal8Bit(argv[1]) == QStringLiteral("--tray")) {
        const QColor panel(QString::fromLocal8Bit(argv[2]));
        if (!panel.isValid() || !traySheet(panel).save(QString::fromLocal8Bit(argv[3]))) {
            std::fprintf(stderr, "voltrane-icon: bad colour or cannot write %s\n", argv[3]);
            return 2;
        }
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: voltrane-icon OUT.png SIDE | voltrane-icon --tray #RRGGBB OUT.png\n");
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
