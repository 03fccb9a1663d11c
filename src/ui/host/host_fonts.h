#pragma once

#include <QFont>

namespace voltrane {

/// The semantic text styles, at the original platform's default sizes.
enum class TextStyle {
    caption,     ///< 10
    caption2,    ///< 10
    callout,     ///< 12
    subheadline, ///< 11
    headline,    ///< 13, bold
    title3,      ///< 15
};

/// Fonts for the views. Sizes are in device-independent pixels (the original platform's
/// points); the face is the system sans with Noto Sans CJK SC for Chinese text.
class HostFonts {
public:
    HostFonts() = delete;

    /// The system font at `size` pixels and `weight`. Whole sizes use setPixelSize; fractional
    /// ones are set as points through the logical DPI. The rounded design maps to the same face.
    static QFont system(qreal size, QFont::Weight weight = QFont::Normal, bool monospacedDigits = false);

    /// A semantic style; `weight` overrides the style's own weight when given.
    static QFont style(TextStyle style, bool monospacedDigits = false);
    static QFont style(TextStyle style, QFont::Weight weight, bool monospacedDigits = false);

    static qreal size(TextStyle style);

    /// The size of `font` in device-independent pixels, however it was set.
    static qreal pixelSize(const QFont& font);

    /// The text face; its digits are all one width or it is replaced by one whose are.
    static QString textFamily();
    /// For text that is Latin only (the tray's figure): the text face when it is installed, else
    /// a common installed sans. A system font named by an alias Qt cannot find ("Sans Serif"
    /// without a desktop theme) would otherwise fall through to the CJK face, several megabytes
    /// held for ten digits and a W.
    static QString latinFamily();
    static QString cjkFamily() { return QStringLiteral("Noto Sans CJK SC"); }
};

} // namespace voltrane
