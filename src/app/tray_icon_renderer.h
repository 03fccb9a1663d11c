#pragma once

#include <QIcon>
#include <QImage>
#include <array>
#include <optional>
#include <string>

namespace voltrane {

/// Draws the tray icon: the state symbol with the label's figure written under it, since tray
/// hosts here show an image only. Each size a host may ask for is drawn for that size rather
/// than scaled: small icons drop the unit so the digits can be as tall as the square allows.
/// Light strokes inside a dark rim read on light and dark panels alike. Keeps the last images
/// and draws anew only when the symbol or the figure changes; the symbol, with its rim nine
/// glyph paints a size, is kept apart, so a new figure is drawn over a copy of it. Without a
/// figure the symbol fills the icon.
class TrayIconRenderer {
public:
    static constexpr int kSide = 64;
    /// The sizes tray hosts ask for (16 to 24 on most panels, more on high-density screens).
    static constexpr std::array<int, 6> kSides = {16, 22, 24, 32, 48, kSide};

    /// The kSide image for `symbol` and `figure` (the label's title when it carries a reading);
    /// `changed` tells whether it was drawn afresh.
    const QImage& image(const std::string& symbol, const std::optional<std::string>& figure,
                        bool* changed = nullptr);
    /// Every size of the icon for `symbol` and `figure`.
    const QIcon& icon(const std::string& symbol, const std::optional<std::string>& figure,
                      bool* changed = nullptr);

    /// Draws one size without the cache, for benchmarks, tests and renders.
    static QImage draw(const std::string& symbol, const std::optional<std::string>& figure, int side = kSide);

private:
    bool update(const std::string& symbol, const std::optional<std::string>& figure);
    /// The symbol alone, where it goes with (`withFigure`) or without a figure.
    static QImage drawSymbol(const std::string& symbol, bool withFigure, int side);
    static void drawFigure(QImage& image, const std::string& figure);

    std::array<QImage, kSides.size()> symbolLayers_;
    std::string symbol_;
    std::optional<std::string> figure_;
    QImage image_;
    QIcon icon_;
};

} // namespace voltrane
