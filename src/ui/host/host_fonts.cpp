#include "ui/host/host_fonts.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace voltrane {

namespace {

qreal logicalDpi() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal dpi = screen != nullptr ? screen->logicalDotsPerInchY() : 0.0;
    return dpi > 0 ? dpi : 96.0;
}

bool hasTabularDigits(const QString& family) {
    QFont font(family);
    font.setPixelSize(40);
    const QFontMetricsF metrics(font);
    const qreal zero = metrics.horizontalAdvance(QLatin1Char('0'));
    for (char digit = '1'; digit <= '9'; ++digit) {
        if (std::abs(metrics.horizontalAdvance(QLatin1Char(digit)) - zero) > 0.01) {
            return false;
        }
    }
    return true;
}

// The first of a few common sans faces whose digits are tabular, if any is installed.
QString commonTabularFamily() {
    for (const char* candidate : {"DejaVu Sans", "Noto Sans", "Liberation Sans"}) {
        const QString family = QString::fromLatin1(candidate);
        if (QFontDatabase::hasFamily(family) && hasTabularDigits(family)) {
            return family;
        }
    }
    return {};
}

QString chooseTextFamily() {
    const QString system = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    // Qt 6.4 has no OpenType feature switch for "tnum", so monospaced digits come from a
    // face whose digits are already tabular: the system sans when it qualifies (DejaVu Sans,
    // Noto Sans), else the first of a few common ones that do.
    if (hasTabularDigits(system)) {
        return system;
    }
    const QString common = commonTabularFamily();
    return common.isEmpty() ? system : common;
}

QString chooseLatinFamily() {
    const QString text = HostFonts::textFamily();
    if (QFontDatabase::hasFamily(text)) {
        return text;
    }
    const QString common = commonTabularFamily();
    return common.isEmpty() ? text : common;
}

} // namespace

QString HostFonts::textFamily() {
    static const QString family = chooseTextFamily();
    return family;
}

QString HostFonts::latinFamily() {
    static const QString family = chooseLatinFamily();
    return family;
}

QFont HostFonts::system(qreal size, QFont::Weight weight, bool monospacedDigits) {
    // Every face in use has tabular digits, so the flag needs no change of face; it stays
    // in the signature so call sites say what they rely on.
    static_cast<void>(monospacedDigits);
    QFont font;
    font.setFamilies({textFamily(), cjkFamily()});
    font.setWeight(weight);
    font.setStyleStrategy(QFont::PreferAntialias);
    const qreal whole = std::round(size);
    if (std::abs(size - whole) < 1e-9 && whole >= 1) {
        font.setPixelSize(static_cast<int>(whole));
    } else {
        font.setPointSizeF(size * 72.0 / logicalDpi());
    }
    return font;
}

qreal HostFonts::size(TextStyle style) {
    switch (style) {
    case TextStyle::caption:
    case TextStyle::caption2:
        return 10;
    case TextStyle::callout:
        return 12;
    case TextStyle::subheadline:
        return 11;
    case TextStyle::headline:
        return 13;
    case TextStyle::title3:
        return 15;
    }
    return 10;
}

QFont HostFonts::style(TextStyle style, bool monospacedDigits) {
    const QFont::Weight weight = style == TextStyle::headline ? QFont::Bold : QFont::Normal;
    return system(size(style), weight, monospacedDigits);
}

QFont HostFonts::style(TextStyle style, QFont::Weight weight, bool monospacedDigits) {
    return system(size(style), weight, monospacedDigits);
}

qreal HostFonts::pixelSize(const QFont& font) {
    if (font.pixelSize() > 0) {
        return font.pixelSize();
    }
    return font.pointSizeF() * logicalDpi() / 72.0;
}

} // namespace voltrane
