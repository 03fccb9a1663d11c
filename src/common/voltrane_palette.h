#pragma once

#include <array>

namespace voltrane {

/// An sRGB colour with channels and opacity in 0…1.
struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double opacity = 1.0;

    constexpr Color withOpacity(double value) const { return {red, green, blue, value}; }
    friend constexpr bool operator==(const Color&, const Color&) = default;
};

/// The palette entries by name, so models can carry a colour that prints as its name.
enum class PaletteColor {
    canvas,
    canvasTop,
    surface,
    stroke,
    textPrimary,
    textSecondary,
    textMuted,
    accent,
    warning,
    glassBlue,
    flowSource,
    flowBattery,
    flowCPU,
    flowGPU,
    flowANE,
    flowMemory,
    flowDisplay,
    flowPorts,
    flowOther,
};

/// The nineteen fixed colours. They do not follow the system appearance.
struct VoltranePalette {
    VoltranePalette() = delete;

    static constexpr Color canvas{0.075, 0.095, 0.098};
    static constexpr Color canvasTop{0.125, 0.165, 0.16};
    static constexpr Color surface{0.175, 0.205, 0.195};
    static constexpr Color stroke{0.34, 0.39, 0.37};
    static constexpr Color textPrimary{0.95, 0.97, 0.96};
    static constexpr Color textSecondary{0.67, 0.71, 0.69};
    static constexpr Color textMuted{0.49, 0.54, 0.52};
    static constexpr Color accent{0.22, 0.9, 0.48};
    static constexpr Color warning{0.95, 0.7, 0.24};
    static constexpr Color glassBlue{0.25, 0.58, 0.76};
    static constexpr Color flowSource{0.31, 0.72, 0.91};
    static constexpr Color flowBattery{0.3, 0.78, 0.5};
    static constexpr Color flowCPU{0.35, 0.66, 0.94};
    static constexpr Color flowGPU{0.48, 0.49, 0.91};
    static constexpr Color flowANE{0.67, 0.43, 0.88};
    static constexpr Color flowMemory{0.87, 0.52, 0.3};
    static constexpr Color flowDisplay{0.93, 0.67, 0.24};
    static constexpr Color flowPorts{0.27, 0.68, 0.71};
    static constexpr Color flowOther{0.47, 0.54, 0.57};

    static constexpr std::size_t count = 19;

    static constexpr Color color(PaletteColor entry) {
        constexpr std::array<Color, count> colors{
            canvas,  canvasTop,  surface,     stroke,     textPrimary, textSecondary, textMuted,
            accent,  warning,    glassBlue,   flowSource, flowBattery, flowCPU,       flowGPU,
            flowANE, flowMemory, flowDisplay, flowPorts,  flowOther,
        };
        return colors[static_cast<std::size_t>(entry)];
    }

    /// The entry's code name, e.g. "flowCPU".
    static constexpr const char* name(PaletteColor entry) {
        constexpr std::array<const char*, count> names{
            "canvas",  "canvasTop",  "surface",     "stroke",     "textPrimary", "textSecondary", "textMuted",
            "accent",  "warning",    "glassBlue",   "flowSource", "flowBattery", "flowCPU",       "flowGPU",
            "flowANE", "flowMemory", "flowDisplay", "flowPorts",  "flowOther",
        };
        return names[static_cast<std::size_t>(entry)];
    }
};

} // namespace voltrane
