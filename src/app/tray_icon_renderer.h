#pragma once

#include <QImage>
#include <optional>
#include <string>

namespace voltrane {

/// Draws the tray icon: the state symbol with the power figure written under it, since tray
/// hosts here show an image only; without a figure the symbol fills the icon. Keeps the last
/// image and draws anew only when the symbol or the figure changes.
class TrayIconRenderer {
public:
    static constexpr int kSide = 64;

    /// The image for `symbol` and `figure` (the label's title when it carries a reading);
    /// `changed` tells whether it was drawn afresh.
    const QImage& image(const std::string& symbol, const std::optional<std::string>& figure,
                        bool* changed = nullptr);

    /// Draws without the cache, for benchmarks and tests.
    static QImage draw(const std::string& symbol, const std::optional<std::string>& figure);

private:
    std::string symbol_;
    std::optional<std::string> figure_;
    QImage image_;
};

} // namespace voltrane
