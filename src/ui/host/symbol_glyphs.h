#pragma once

#include <QColor>
#include <QFont>
#include <QPainterPath>
#include <QRawFont>
#include <QRectF>
#include <QString>
#include <map>
#include <string>
#include <string_view>

class QPainter;

namespace voltrane {

/// Draws system symbols with the Material Icons font. The font is loaded once, from its file
/// where Debian installs it, else found by its family name; when it is missing, or a ligature
/// does not resolve to a glyph, the symbol falls back to a plain character from the text face,
/// so a symbol never shows as its ligature word.
class SymbolGlyphs {
public:
    enum class Source { iconFont, fallbackText };

    static constexpr const char* kFamily = "Material Icons";
    /// Where Debian installs the face as TrueType.
    static constexpr const char* kDefaultFontPath =
        "/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf";

    /// The face in the file `fontPath`, else the installed face of `family`.
    SymbolGlyphs(const QString& family, const QString& fontPath);

    /// The process-wide instance over the installed font (needs a QGuiApplication).
    static SymbolGlyphs& shared();

    bool iconFontAvailable() const { return iconFont_.isValid(); }

    /// How `systemName` will be drawn.
    Source source(std::string_view systemName) const;

    /// Draws the symbol centred in `rect`, its em box `size` pixels high. Weights above
    /// regular thicken the outline, as the icon face has one weight only.
    void paint(QPainter& painter, const QRectF& rect, std::string_view systemName, qreal size,
               QFont::Weight weight, const QColor& color) const;

private:
    /// The glyph outline at the face's em size, built on first use, or an empty path.
    const QPainterPath& outline(std::string_view systemName) const;

    QRawFont iconFont_;
    QString registeredFamily_; // the family the face answers to, for shaping ligatures
    mutable std::map<std::string, QPainterPath, std::less<>> outlines_;
};

} // namespace voltrane
