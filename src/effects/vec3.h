// vec3.h: the small 3D toolkit of the glow knot and the spiral ribbon: double
// vectors, a 3x4 affine view matrix and the look-at camera both effects use.
//
// Everything is in double precision, evaluated left to right as written
// (the compiler may not contract a*b+c, see -ffp-contract=off), so both
// effects see exactly the same camera numbers. No state, no allocation.
#pragma once

namespace marrow {

struct Vec3 {
    double x, y, z;
};

// a - b.
Vec3 vecSub(const Vec3& a, const Vec3& b);
// v * k.
Vec3 vecScale(const Vec3& v, double k);
// a.x*b.x + a.y*b.y + a.z*b.z.
double vecDot(const Vec3& a, const Vec3& b);
// a x b (right-handed component formula).
Vec3 vecCross(const Vec3& a, const Vec3& b);
// v divided by its length. A zero vector gives NaN components; callers
// reject the NaN depths that follow (a knot sprite or ribbon quad is then
// skipped), so a degenerate camera draws nothing instead of garbage.
Vec3 vecNormalise(const Vec3& v);

// Twelve doubles: m[0..2] are what the source x contributes to the output
// (right, up, forward), m[3..5] the same for y, m[6..8] for z, m[9..11] the
// translations. Applying it:
//   x' = m0 x + m3 y + m6 z + m9, y' = m1 x + m4 y + m7 z + m10,
//   z' = m2 x + m5 y + m8 z + m11.
struct ViewMatrix {
    double m[12];
};

// The identity with zero translation.
void viewInit(ViewMatrix& view);
Vec3 viewApply(const ViewMatrix& view, const Vec3& p);

// Camera at `eye` looking at `target`, rolled by the `upHint`:
// f = normalise(target - eye), u = normalise(upHint - (upHint.f) f),
// r = u x f; rows r, u, f with translations -(r.eye), -(u.eye), -(f.eye), so
// a point P goes to (r.(P - eye), u.(P - eye), f.(P - eye)): x right, y up,
// z the depth in front of the eye.
ViewMatrix viewLookAt(const Vec3& eye, const Vec3& target, const Vec3& upHint);

}  // namespace marrow
