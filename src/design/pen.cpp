#include "design/pen.h"

#include <algorithm>

namespace vantrel::design {

namespace {
constexpr double Pi = 3.14159265358979323846;
}  // namespace

// An elliptical arc as cubics, from its end-point form (the centre form is
// derived as SVG defines it, radii too small for the ends grown to fit).
void Pen::arcTo(double rx, double ry, double angleDegrees, bool large, bool sweep, double px, double py) {
    const double x1 = curX_, y1 = curY_;
    if (px == x1 && py == y1) return;  // no arc at all
    rx = std::fabs(rx), ry = std::fabs(ry);
    if (rx == 0 || ry == 0) {
        lineTo(px, py);
        return;
    }
    const double phi = std::fmod(angleDegrees, 360.0) * Pi / 180, cs = std::cos(phi), sn = std::sin(phi);
    const double dx = (x1 - px) / 2, dy = (y1 - py) / 2;
    const double x1p = cs * dx + sn * dy, y1p = -sn * dx + cs * dy;
    const double lambda = (x1p * x1p) / (rx * rx) + (y1p * y1p) / (ry * ry);
    if (lambda > 1) {
        const double grow = std::sqrt(lambda);
        rx *= grow, ry *= grow;
    }
    const double rx2 = rx * rx, ry2 = ry * ry;
    const double numerator = rx2 * ry2 - rx2 * y1p * y1p - ry2 * x1p * x1p;
    const double denominator = rx2 * y1p * y1p + ry2 * x1p * x1p;
    double root = denominator > 0 ? std::sqrt(std::max(0.0, numerator / denominator)) : 0;
    if (large == sweep) root = -root;
    const double cxp = root * rx * y1p / ry, cyp = -root * ry * x1p / rx;
    const double cx = cs * cxp - sn * cyp + (x1 + px) / 2, cy = sn * cxp + cs * cyp + (y1 + py) / 2;
    const double theta1 = std::atan2((y1p - cyp) / ry, (x1p - cxp) / rx);
    double delta = std::atan2((-y1p - cyp) / ry, (-x1p - cxp) / rx) - theta1;
    if (sweep && delta < 0) delta += 2 * Pi;
    else if (!sweep && delta > 0) delta -= 2 * Pi;
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(delta)) refuse("this arc cannot be drawn");

    // The usual cubic for a circular arc of angle t strays about
    // r t^6 / 55296 from it; the transform may stretch r.
    const double radius = std::max(rx, ry) * arcScale_;
    const double target = 0.8 * ArcTolerance;
    double step = Pi / 2;
    if (radius > 0) step = std::min(Pi / 2, std::pow(55296.0 * target / radius, 1.0 / 6));
    const int count = static_cast<int>(std::clamp(std::ceil(std::fabs(delta) / step - 1e-9), 1.0, 4096.0));
    const double each = delta / count, k = 4.0 / 3.0 * std::tan(each / 4);
    auto at = [&](double ux, double uy, double& ox, double& oy) {
        ox = cx + rx * cs * ux - ry * sn * uy;
        oy = cy + rx * sn * ux + ry * cs * uy;
    };
    double t = theta1;
    for (int i = 0; i < count; ++i) {
        const double t2 = i + 1 == count ? theta1 + delta : t + each;
        const double c1 = std::cos(t), s1 = std::sin(t), c2 = std::cos(t2), s2 = std::sin(t2);
        double ax, ay, bx, by, ex = px, ey = py;
        at(c1 - k * s1, s1 + k * c1, ax, ay);
        at(c2 + k * s2, s2 - k * c2, bx, by);
        if (i + 1 < count) at(c2, s2, ex, ey);
        cubicTo(ax, ay, bx, by, ex, ey);
        t = t2;
    }
}

}  // namespace vantrel::design
