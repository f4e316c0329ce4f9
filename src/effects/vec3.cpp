#include "effects/vec3.h"

#include <cmath>

namespace marrow {

Vec3 vecSub(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

Vec3 vecScale(const Vec3& v, double k) { return {v.x * k, v.y * k, v.z * k}; }

double vecDot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vec3 vecCross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec3 vecNormalise(const Vec3& v) {
    const double length = std::sqrt(vecDot(v, v));
    return {v.x / length, v.y / length, v.z / length};
}

void viewInit(ViewMatrix& view) {
    for (double& c : view.m) c = 0.0;
    view.m[0] = view.m[4] = view.m[8] = 1.0;
}

Vec3 viewApply(const ViewMatrix& view, const Vec3& p) {
    const double* m = view.m;
    return {m[0] * p.x + m[3] * p.y + m[6] * p.z + m[9],
            m[1] * p.x + m[4] * p.y + m[7] * p.z + m[10],
            m[2] * p.x + m[5] * p.y + m[8] * p.z + m[11]};
}

ViewMatrix viewLookAt(const Vec3& eye, const Vec3& target, const Vec3& upHint) {
    const Vec3 f = vecNormalise(vecSub(target, eye));
    // Gram-Schmidt: drop the part of the hint along the view direction.
    const Vec3 u = vecNormalise(vecSub(upHint, vecScale(f, vecDot(upHint, f))));
    const Vec3 r = vecCross(u, f);
    ViewMatrix view;
    viewInit(view);
    view.m[0] = r.x; view.m[1] = u.x; view.m[2] = f.x;
    view.m[3] = r.y; view.m[4] = u.y; view.m[5] = f.y;
    view.m[6] = r.z; view.m[7] = u.z; view.m[8] = f.z;
    view.m[9] = -vecDot(r, eye);
    view.m[10] = -vecDot(u, eye);
    view.m[11] = -vecDot(f, eye);
    return view;
}

}  // namespace marrow
