#include "flow/cubic_route.h"

#include <algorithm>

namespace voltrane {

CubicRoute::Point CubicRoute::point(double t) const {
    // Written as "not at least 0" so that NaN lands on the start.
    const double at = !(t >= 0) ? 0.0 : std::min(t, 1.0);
    const double u = 1 - at;
    const double a = u * u * u;
    const double b = 3 * u * u * at;
    const double c = 3 * u * at * at;
    const double d = at * at * at;
    return {a * start.x + b * control1.x + c * control2.x + d * end.x,
            a * start.y + b * control1.y + c * control2.y + d * end.y};
}

} // namespace voltrane
