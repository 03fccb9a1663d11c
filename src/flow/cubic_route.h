#pragma once

namespace voltrane {

/// The centre line of one ribbon: a cubic Bézier curve from the source side to a row.
struct CubicRoute {
    struct Point {
        double x = 0;
        double y = 0;

        friend bool operator==(const Point&, const Point&) = default;
    };

    Point start;    ///< P0, t = 0
    Point control1; ///< P1
    Point control2; ///< P2
    Point end;      ///< P3, t = 1

    /// The curve's point at t, with t clamped to 0…1 (NaN counts as 0).
    Point point(double t) const;

    friend bool operator==(const CubicRoute&, const CubicRoute&) = default;
};

} // namespace voltrane
