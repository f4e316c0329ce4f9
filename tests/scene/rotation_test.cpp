// Rotation tracks: accumulation of relative keys, spin sums, control
// quaternions, slerp with spins and the squad evaluation.
#include <gtest/gtest.h>

#include <cmath>

#include "scene_util.h"

using namespace scenetest;

namespace {

struct Q {
    double w, x, y, z;
};

Q mulQ(Q a, Q b) {
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z, a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x, a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

// Rotation by angle about a unit library-space axis.
Q axisAngle(double angle, double x, double y, double z) {
    double s = std::sin(angle / 2);
    return {std::cos(angle / 2), x * s, y * s, z * s};
}

void expectQuat(const orin_quat& got, Q want, double tol, const std::string& what = "") {
    EXPECT_NEAR(got.w, want.w, tol) << what;
    EXPECT_NEAR(got.x, want.x, tol) << what;
    EXPECT_NEAR(got.y, want.y, tol) << what;
    EXPECT_NEAR(got.z, want.z, tol) << what;
}

orin_track* rotationOf(const Loaded& l) { return firstObjectTracks(l)->rotation; }

orin_quat evalRot(orin_track* t, float frame) {
    orin_quat q{9, 9, 9, 9};
    EXPECT_EQ(orin_eval_rotation(t, frame, &q), ORIN_OK);
    return q;
}

w::Track rotTrack(std::vector<w::Key> keys, w::TrackMode mode = w::TrackMode::Once) {
    return {w::TrackKind::Rotation, mode, std::move(keys)};
}

}  // namespace

TEST(Rotation, OneKeyOfAngleZeroIsTheIdentity) {
    Loaded l(trackScene({rotTrack({w::rotKey(0, 0, {0.6f, 0, 0.8f})})}));
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_track* t = rotationOf(l);
    for (float f : {0.0f, 3.0f, 99.0f}) expectQuat(evalRot(t, f), {1, 0, 0, 0}, 0);
    // One key: no control quaternions.
    EXPECT_EQ(t->keys->quat_in.w, 0.0f);
    EXPECT_EQ(t->keys->quat_out.w, 0.0f);
}

// Keys are relative: each key's absolute rotation is its own applied after
// the previous absolute one (Q := qk (x) Q). The file axis (x, y, z) is the
// library axis (x, z, y). Spin sums: whole radians so far, toward zero.
TEST(Rotation, KeysAccumulate) {
    Loaded l(trackScene({rotTrack({w::rotKey(0, 0.5f, {1, 0, 0}), w::rotKey(10, 1.25f, {0, 0, 1}),
                                   w::rotKey(20, -3.5f, {0, 1, 0})})}));
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_key* k = rotationOf(l)->keys;
    Q q0 = axisAngle(0.5, 1, 0, 0);
    Q q1 = mulQ(axisAngle(1.25, 0, 1, 0), q0);
    Q q2 = mulQ(axisAngle(-3.5, 0, 0, 1), q1);
    expectQuat(k->quat, q0, 1e-6, "key 0");
    expectQuat(k->next->quat, q1, 1e-6, "key 1");
    expectQuat(k->next->next->quat, q2, 1e-6, "key 2");
    EXPECT_EQ(k->value.f[0], 0.0f);                // trunc(0.5)
    EXPECT_EQ(k->next->value.f[0], 1.0f);          // trunc(0 + 1.25)
    EXPECT_EQ(k->next->next->value.f[0], -2.0f);   // trunc(1 - 3.5)
    EXPECT_EQ(k->next->value.f[2], 1.0f);          // axis stored in library order
    EXPECT_EQ(k->next->next->value.f[3], 1.0f);
    // At each key's own frame the spline gives that key's rotation.
    expectQuat(evalRot(rotationOf(l), 10), q1, 1e-6, "at key 1");
    expectQuat(evalRot(rotationOf(l), 20), q2, 1e-6, "at key 2");
}

// Two keys 0 and pi/2 about one axis: at the middle frame the rotation by
// pi/4 about that axis (file z is library y).
TEST(Rotation, HalfwayBetweenTwoKeys) {
    Loaded l(trackScene({rotTrack({w::rotKey(0, 0, {0, 0, 1}), w::rotKey(10, float(M_PI / 2), {0, 0, 1})})}));
    ASSERT_EQ(l.motion, ORIN_OK);
    expectQuat(evalRot(rotationOf(l), 5), axisAngle(M_PI / 4, 0, 1, 0), 1e-6);
    expectQuat(evalRot(rotationOf(l), 2.5f), axisAngle(M_PI / 8, 0, 1, 0), 1e-6);
}

// A key of 7 radians: its spin sum differs from its predecessor's by more
// than a full turn, so its incoming control term is the axis times pi/2,
// and the evaluation adds n = 1 extra half-turn (pi) to the slerp angle.
TEST(Rotation, MultiTurnKey) {
    const float tension = 0.5f;
    Loaded l(trackScene({rotTrack({w::rotKey(0, 0, {0, 0, 1}), w::rotKey(10, 7, {0, 0, 1}, {tension, 0, 0, 0, 0})})}));
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_key* k1 = rotationOf(l)->keys->next;
    EXPECT_EQ(k1->value.f[0], 7.0f);
    Q q1 = axisAngle(7, 0, 1, 0);
    // Last key: g2 = g1 = (0, axis x pi/2); all four weights T = 0.25, so
    // quat_in = q1 (x) exp((T g1 + (T - 1) g1) / 2) = q1 (x) exp(-g1 / 4).
    double T = (1 - tension) * 0.5, e = (2 * T - 1) / 2 * (M_PI / 2);
    expectQuat(k1->quat_in, mulQ(q1, Q{std::cos(e), 0, std::sin(e), 0}), 1e-6, "quat_in");
    e = ((1 - T) - T) / 2 * (M_PI / 2);
    expectQuat(k1->quat_out, mulQ(q1, Q{std::cos(e), 0, std::sin(e), 0}), 1e-6, "quat_out");

    // Default parameters make the controls the keys themselves, so the
    // squad is the slerp: from (1, 0, 0, 0) to q1 with Omega = acos(q1.w)
    // and the angle swept (Omega + pi) t.
    Loaded plain(trackScene({rotTrack({w::rotKey(0, 0, {0, 0, 1}), w::rotKey(10, 7, {0, 0, 1})})}));
    double omega = std::acos(q1.w);
    for (double t : {0.25, 0.5, 0.75}) {
        double phi = (omega + M_PI) * t;
        double a = std::sin(omega - phi) / std::sin(omega), b = std::sin(phi) / std::sin(omega);
        Q want{a + b * q1.w, b * q1.x, b * q1.y, b * q1.z};
        expectQuat(evalRot(rotationOf(plain), float(10 * t)), want, 2e-6, "t " + std::to_string(t));
    }
    // Without the extra half-turn the middle would be the short way round.
    Q shortWay = axisAngle(-(2 * M_PI - 7) / 2, 0, 1, 0);
    EXPECT_GT(std::fabs(evalRot(rotationOf(plain), 5).w - shortWay.w), 0.1);
}

// Identical consecutive keys: 1 - |cos Omega| is below 1e-6, the linear
// branch of the slerp runs (no division by sin 0) and the key comes out.
TEST(Rotation, IdenticalKeysTakeTheLinearBranch) {
    Loaded l(trackScene({rotTrack({w::rotKey(0, 0.75f, {1, 0, 0}), w::rotKey(10, 0, {1, 0, 0}),
                                   w::rotKey(20, 0, {0, 1, 0})})}));
    ASSERT_EQ(l.motion, ORIN_OK);
    Q q = axisAngle(0.75, 1, 0, 0);
    for (float f : {2.5f, 5.0f, 15.0f}) {
        orin_quat got = evalRot(rotationOf(l), f);
        EXPECT_TRUE(std::isfinite(got.w) && std::isfinite(got.x)) << f;
        expectQuat(got, q, 1e-6, std::to_string(f));
    }
}

// Three keys with tension, continuity, bias and ease: the control
// quaternions of the middle key from the log terms of its neighbours, and
// the squad at a few fractions, computed here.
TEST(Rotation, SquadWithParametersMatchesReference) {
    const w::Spline sp{0.3f, -0.2f, 0.4f, 0.25f, 0.1f};
    std::vector<w::Key> keys = {w::rotKey(0, 0.4f, {0, 0, 1}), w::rotKey(10, 0.9f, {1, 0, 0}, sp),
                                w::rotKey(30, 0.6f, {0, 1, 0}, {0, 0, 0, 0.3f, 0})};
    Loaded l(trackScene({rotTrack(keys)}));
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_track* t = rotationOf(l);

    // Absolute keys.
    Q a[3];
    a[0] = axisAngle(0.4, 0, 1, 0);
    a[1] = mulQ(axisAngle(0.9, 1, 0, 0), a[0]);
    a[2] = mulQ(axisAngle(0.6, 0, 0, 1), a[1]);
    // log term of the rotation from p to q (unit quaternions, same side).
    auto logTerm = [](Q p, Q q) {
        Q r = mulQ({p.w, -p.x, -p.y, -p.z}, q);
        double v = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
        double th = std::atan2(v, r.w) / v;  // half-angle over sin(half-angle)
        return Q{0, th * r.x, th * r.y, th * r.z};
    };
    auto expQ = [](Q v) {
        double th = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
        double f = th > 0 ? std::sin(th) / th : 1;
        return Q{std::cos(th), f * v.x, f * v.y, f * v.z};
    };
    auto comb = [](double ka, Q g1, double kb, Q g2) {
        return Q{0, (ka * g1.x + kb * g2.x) / 2, (ka * g1.y + kb * g2.y) / 2, (ka * g1.z + kb * g2.z) / 2};
    };
    Q g[3][2];  // incoming and outgoing terms per key
    g[0][1] = logTerm(a[0], a[1]);
    g[0][0] = g[0][1];
    g[1][0] = logTerm(a[0], a[1]);
    g[1][1] = logTerm(a[1], a[2]);
    g[2][0] = logTerm(a[1], a[2]);
    g[2][1] = g[2][0];
    const double frames[3] = {0, 10, 30};
    Q in[3], out[3];
    for (int i = 0; i < 3; ++i) {
        const w::Spline& s = keys[i].spline;
        double adjIn = 1, adjOut = 1;
        if (i == 1) {
            double half = (frames[2] - frames[0]) / 2, C = std::fabs(s.continuity);
            double fa = (frames[1] - frames[0]) / half, fb = (frames[2] - frames[1]) / half;
            adjIn = C + fa - C * fa;
            adjOut = C + fb - C * fb;
        }
        double T = (1 - s.tension) / 2, c = s.continuity, b = s.bias;
        double kA = T * (1 - c) * (1 + b) * adjIn, kB = T * (1 + c) * (1 - b) * adjIn;
        double kC = T * (1 + c) * (1 + b) * adjOut, kD = T * (1 - c) * (1 - b) * adjOut;
        in[i] = mulQ(a[i], expQ(comb(kC, g[i][0], kD - 1, g[i][1])));
        out[i] = mulQ(a[i], expQ(comb(1 - kA, g[i][0], -kB, g[i][1])));
    }
    orin_key* k = t->keys;
    for (int i = 0; i < 3; ++i, k = k->next) {
        expectQuat(k->quat_in, in[i], 2e-6, "quat_in " + std::to_string(i));
        expectQuat(k->quat_out, out[i], 2e-6, "quat_out " + std::to_string(i));
    }

    auto slerp = [](Q p, Q q, double u) {
        double c = p.w * q.w + p.x * q.x + p.y * q.y + p.z * q.z;
        if (1 - std::fabs(c) < 1e-6) return Q{p.w * (1 - u) + q.w * u, p.x * (1 - u) + q.x * u, p.y * (1 - u) + q.y * u, p.z * (1 - u) + q.z * u};
        double om = std::acos(c), s = std::sin(om);
        double ka = std::sin(om * (1 - u)) / s, kb = std::sin(om * u) / s;
        return Q{p.w * ka + q.w * kb, p.x * ka + q.x * kb, p.y * ka + q.y * kb, p.z * ka + q.z * kb};
    };
    // Segment 1 -> 2: ease 0.1 out of key 1, 0.3 into key 2: sum 0.4,
    // k = 1 / 1.6.
    for (double frac : {0.05, 0.3, 0.6, 0.9}) {
        double e = frac, kk = 1 / (2 - 0.1 - 0.3);
        if (e < 0.1)
            e = kk / 0.1 * e * e;
        else if (e < 1 - 0.3)
            e = kk * (2 * e - 0.1);
        else
            e = 1 - kk / 0.3 * (1 - e) * (1 - e);
        Q p = slerp(a[1], a[2], e), r = slerp(out[1], in[2], e);
        Q want = slerp(p, r, 2 * e * (1 - e));
        expectQuat(evalRot(t, float(10 + 20 * frac)), want, 5e-6, "frac " + std::to_string(frac));
    }
}

// A key quaternion of zero length (only a hostile file makes one: here the
// axis is zero and the angle pi, so the key turns every later rotation into
// a near-zero multiple): no division by zero, nothing but numbers.
TEST(Rotation, ZeroLengthKeyQuaternionStaysFinite) {
    std::vector<w::Key> keys;
    for (uint32_t i = 0; i < 12; ++i) keys.push_back(w::rotKey(i * 10, float(M_PI), {0, 0, 0}));
    keys.push_back(w::rotKey(130, 1, {0, 0, 1}));
    Loaded l(trackScene({rotTrack(keys)}, 200));
    ASSERT_EQ(l.motion, ORIN_OK);
    orin_key* last = rotationOf(l)->keys;
    while (last->next) last = last->next;
    EXPECT_EQ(last->prev->quat.w, 0.0f);  // underflowed to zero
    for (orin_key* k = rotationOf(l)->keys; k; k = k->next) {
        EXPECT_TRUE(std::isfinite(k->quat_in.w) && std::isfinite(k->quat_in.y)) << k->frame;
        EXPECT_TRUE(std::isfinite(k->quat_out.w) && std::isfinite(k->quat_out.y)) << k->frame;
    }
    for (float f : {5.0f, 115.0f, 125.0f}) {
        orin_quat q = evalRot(rotationOf(l), f);
        EXPECT_TRUE(std::isfinite(q.w) && std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z)) << f;
    }
}

namespace {

// The relative key (angle about a file-space axis) that turns `from` into
// `to`: r = to (x) from^-1 as an angle and a unit axis, the axis back from
// library order (x, z, y) to the file's (x, y, z).
w::Key relativeKey(uint32_t frame, Q from, Q to, w::Spline sp) {
    Q r = mulQ(to, {from.w, -from.x, -from.y, -from.z});
    double v = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
    double angle = 2 * std::atan2(v, r.w);
    w::Vec3 axis{0, 0, 1};
    if (v > 0) axis = {float(r.x / v), float(r.z / v), float(r.y / v)};
    return w::rotKey(frame, float(angle), axis, sp);
}

}  // namespace

// Played backwards (keys mirrored about the middle frame, each absolute
// rotation kept, bias negated and the eases swapped) a rotation track
// turns through the same rotations in reverse: both open ends included.
TEST(Rotation, ReversedTrackMirrorsItsRotations) {
    const std::vector<w::Key> keys = {
        w::rotKey(0, 0.4f, {0, 0, 1}, {0.2f, 0, 0, 0, 0.3f}),
        w::rotKey(9, 0.7f, {1, 0, 0}, {0.1f, -0.3f, 0.4f, 0.2f, 0.1f}),
        w::rotKey(22, 0.5f, {0, 1, 0}, {-0.2f, 0.3f, -0.5f, 0, 0.25f}),
        w::rotKey(30, -0.6f, {0.6f, 0, 0.8f}, {0, 0.2f, 0.2f, 0.1f, 0}),
        w::rotKey(44, 0.8f, {0, 0.8f, 0.6f}, {0.3f, 0, 0, 0.4f, 0}),
    };
    const uint32_t F = 44;
    // Absolute rotations, library space: each key's own after the one before.
    std::vector<Q> abs;
    Q q{1, 0, 0, 0};
    for (const w::Key& k : keys) {
        q = mulQ(axisAngle(k.angle, k.axis.x, k.axis.z, k.axis.y), q);
        abs.push_back(q);
    }
    std::vector<w::Key> mirrored;
    Q prev{1, 0, 0, 0};
    for (size_t j = 0; j < keys.size(); ++j) {
        const w::Key& src = keys[keys.size() - 1 - j];
        w::Spline sp = src.spline;
        sp.bias = -sp.bias;
        std::swap(sp.easeTo, sp.easeFrom);
        Q target = abs[keys.size() - 1 - j];
        mirrored.push_back(relativeKey(F - src.frame, prev, target, sp));
        prev = target;
    }
    Loaded fwd(trackScene({rotTrack(keys)})), back(trackScene({rotTrack(mirrored)}));
    ASSERT_EQ(fwd.motion, ORIN_OK);
    ASSERT_EQ(back.motion, ORIN_OK);
    for (float f = 0; f <= F; f += 0.5f) {
        orin_quat a = evalRot(rotationOf(fwd), f), b = evalRot(rotationOf(back), float(F) - f);
        // q and -q are the same rotation.
        double sign = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z < 0 ? -1 : 1;
        expectQuat(a, {sign * b.w, sign * b.x, sign * b.y, sign * b.z}, 5e-5, "frame " + std::to_string(f));
    }
}

// Keys about one axis whose angles grow in step with their frames (0.04
// radians a frame, over gaps of 10, 20 and 5 frames) turn at that rate all
// the way, through the open ends too: the rotation at frame f is
// 0.3 + 0.04 f about the axis (file z, library y).
TEST(Rotation, ConstantAxisTrackTurnsAtTheRateItsKeysSay) {
    Loaded l(trackScene({rotTrack({w::rotKey(0, 0.3f, {0, 0, 1}), w::rotKey(10, 0.4f, {0, 0, 1}),
                                   w::rotKey(30, 0.8f, {0, 0, 1}), w::rotKey(35, 0.2f, {0, 0, 1})})}));
    ASSERT_EQ(l.motion, ORIN_OK);
    for (float f = 0; f <= 35; f += 0.5f)
        expectQuat(evalRot(rotationOf(l), f), axisAngle(0.3 + 0.04 * f, 0, 1, 0), 2e-6, "frame " + std::to_string(f));
}
