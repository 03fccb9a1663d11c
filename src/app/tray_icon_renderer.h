#pragma once

#include <QImage>
#include <string>

namespace voltrane {

/// Draws the tray icon: the state symbol with the label's title written under it, since tray
/// hosts here show an image only. Keeps the last image and draws anew only when the symbol or
/// the title changes.
class TrayIconRenderer {
public:
    static constexpr int kSide = 64;

    /// The image for `symbol` and `title`; `changed` tells whether it was drawn afresh.
    const QImage& image(const std::string& symbol, const std::string& title, bool* changed = nullptr);

    /// Draws without the cache, for benchmarks and tests.
    static QImage draw(const std::string& symbol, const std::string& title);

private:
    std::string symbol_;
    std::string title_;
    QImage image_;
};

} // namespace voltrane
