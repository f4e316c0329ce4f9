/* orin_rotation.cpp: rotation tracks. The file stores each rotation key
 * relative to the previous one (an angle in radians about an axis); the
 * reader accumulates them into absolute quaternions, keeps a whole-number
 * running spin angle so that turns of a full circle or more between two
 * keys are not lost, and gives each key two inner control quaternions. The
 * evaluation runs a Kochanek-Bartels quaternion spline: squad, two
 * spherical interpolations (with extra half-turns for the spins) blended by
 * a third.
 *
 * Quaternions are (w, x, y, z), w the scalar part, stored in single
 * precision; the arithmetic runs in double. Cost per evaluation: a key
 * search, three slerps (each an acos and three sines).
 */
#include <math.h>

#include "common/numeric.h"
#include "scene/orin_internal.h"
#include "common/mathfn.h"

typedef struct dquat {
    double w, x, y, z;
} dquat;

static const double PI = 3.14159265358979323846;
/* pi / 2 as stored in single precision: the angle a whole-turn key's
 * control term uses. */
static const double HALF_PI_F = (double)1.5707964f;
/* A spin-sum difference beyond this (2 pi, a little under) is a key of
 * one full turn or more. */
static const double FULL_TURN = 6.28318430718;

static dquat dq(const orin_quat &q) {
    dquat r = {q.w, q.x, q.y, q.z};
    return r;
}

static orin_quat to_quat(const dquat &q) {
    orin_quat r = {(float)q.w, (float)q.x, (float)q.y, (float)q.z};
    return r;
}

/* Hamilton product a (x) b. */
static dquat qmul(const dquat &a, const dquat &b) {
    dquat r;
    r.w = a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z;
    r.x = a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y;
    r.y = a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x;
    r.z = a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w;
    return r;
}

static double qdot(const dquat &a, const dquat &b) { return a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z; }

/* q^-1 = conjugate / |q|^2. A quaternion of zero length (only a hostile
 * file builds one) has no inverse; the identity stands in so that nothing
 * divides by zero. */
static dquat qinverse(const dquat &q) {
    double n2 = qdot(q, q);
    if (n2 == 0.0) {
        dquat id = {1, 0, 0, 0};
        return id;
    }
    dquat r = {q.w / n2, -q.x / n2, -q.y / n2, -q.z / n2};
    return r;
}

/* exp of the pure quaternion (0, v): a rotation by twice |v| about v. */
static dquat qexp(const dquat &v) {
    double theta = sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    double f = theta > 0.0 ? marrow::mathfn::sin(theta) / theta : 1.0;
    dquat r = {marrow::mathfn::cos(theta), f * v.x, f * v.y, f * v.z};
    return r;
}

/* The log term of the rotation from a to b: (0, axis x half-angle) of
 * a^-1 (x) b, the half-angle taken from the normalised dot product. */
static dquat log_term(const dquat &a, const dquat &b) {
    dquat r = qmul(qinverse(a), b);
    double v = sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
    double lengths = sqrt(qdot(a, a)) * sqrt(qdot(b, b));
    /* With a zero-length quaternion the dot product is 0 too: treat it as
     * a quarter turn rather than divide 0 by 0. */
    double c = lengths != 0.0 ? qdot(a, b) / lengths : 0.0;
    double theta = c == 0.0 ? HALF_PI_F : marrow::mathfn::atan(v / c);
    if (v != 0.0) theta = theta / v;
    dquat out = {0.0, theta * r.x, theta * r.y, theta * r.z};
    return out;
}

/* Conjugate over length: what stands in for a neighbour whose quaternion
 * lies on the far side of the 4D sphere (negative dot product). */
static dquat flipped(const dquat &q) {
    double len = sqrt(qdot(q, q));
    dquat r = {q.w / len, -q.x / len, -q.y / len, -q.z / len};
    return r;
}

static dquat axis_term(const orin_key *k) {
    dquat r = {0.0, k->value.f[1] * HALF_PI_F, k->value.f[2] * HALF_PI_F, k->value.f[3] * HALF_PI_F};
    return r;
}

void orin_rotation_key(orin_key *key, const orin_key *prev, float angle, float ax, float ay,
                       float az) {
    double h = (double)angle / 2.0;
    double s = marrow::mathfn::sin(h);
    /* Axis in library order (x, z, y). */
    dquat qk = {marrow::mathfn::cos(h), ax * s, az * s, ay * s};
    dquat q = {1, 0, 0, 0};
    if (prev) q = dq(prev->quat);
    key->quat = to_quat(qmul(qk, q));
    /* Whole radians turned so far, truncated toward zero at every key. */
    double spin = prev ? (double)prev->value.f[0] + angle : (double)angle;
    key->value.f[0] = (float)marrow::truncToInt32(spin);
    key->value.f[1] = ax;
    key->value.f[2] = az;
    key->value.f[3] = ay;
}

/* Inner control quaternions of K with its predecessor P and successor N
 * (either may be NULL at the ends). Reads only the neighbours' quat,
 * spin sums and frames. */
static void control_points(orin_key *k, const orin_key *p, const orin_key *n) {
    dquat kq = dq(k->quat);
    dquat g1 = {0, 0, 0, 0}, g2 = {0, 0, 0, 0};
    if (p) {
        if (fabs((double)k->value.f[0] - p->value.f[0]) > FULL_TURN) {
            g1 = axis_term(k);
        } else {
            dquat q = dq(p->quat);
            if (qdot(q, kq) < 0.0) q = flipped(q);
            g1 = log_term(q, kq);
        }
    }
    if (n) {
        if (fabs((double)n->value.f[0] - k->value.f[0]) > FULL_TURN) {
            g2 = axis_term(n);
        } else {
            dquat q = dq(n->quat);
            if (qdot(q, kq) < 0.0) q = flipped(q);
            g2 = log_term(kq, q);
        }
    }
    if (!p) g1 = g2;
    if (!n) g2 = g1;

    double adj_in = 1.0, adj_out = 1.0;
    if (p && n) {
        double half = ((double)n->frame - p->frame) / 2.0;
        double a = half != 0.0 ? ((double)k->frame - p->frame) / half : 0.0;
        double b = half != 0.0 ? ((double)n->frame - k->frame) / half : 0.0;
        double C = fabs((double)k->continuity);
        adj_in = C + a - C * a;
        adj_out = C + b - C * b;
    }
    double T = (1.0 - k->tension) * 0.5, c = k->continuity, s = k->bias;
    double kA = T * (1.0 - c) * (1.0 + s) * adj_in;
    double kB = T * (1.0 + c) * (1.0 - s) * adj_in;
    double kC = T * (1.0 + c) * (1.0 + s) * adj_out;
    double kD = T * (1.0 - c) * (1.0 - s) * adj_out;

    dquat in = {0.0, (kC * g1.x + (kD - 1.0) * g2.x) / 2.0, (kC * g1.y + (kD - 1.0) * g2.y) / 2.0,
                (kC * g1.z + (kD - 1.0) * g2.z) / 2.0};
    dquat out = {0.0, ((1.0 - kA) * g1.x - kB * g2.x) / 2.0, ((1.0 - kA) * g1.y - kB * g2.y) / 2.0,
                 ((1.0 - kA) * g1.z - kB * g2.z) / 2.0};
    k->quat_in = to_quat(qmul(kq, qexp(in)));
    k->quat_out = to_quat(qmul(kq, qexp(out)));
}

int32_t orin_prepare_rotation(orin_track *track) {
    if (!track) return ORIN_ERR_NULL;
    if (!track->keys || !track->keys->next) return ORIN_OK; /* one key: nothing to blend */
    /* Each key reads only its neighbours' absolute rotations, so list order
     * gives the same result as any other. The loop-mode joining of the
     * ends does not apply to rotations. */
    for (orin_key *k = track->keys; k; k = k->next) control_points(k, k->prev, k->next);
    return ORIN_OK;
}

/* Spherical interpolation from a to b with n extra half-turns (n pi added
 * to the angle), without normalising or taking the short way round. */
static orin_quat slerp(const orin_quat &qa, const orin_quat &qb, int32_t n, double t) {
    dquat a = dq(qa), b = dq(qb);
    double cos_omega = qdot(a, b);
    double ka, kb;
    if (1.0 - fabs(cos_omega) >= 1e-6) {
        double omega = marrow::mathfn::acos(cos_omega);
        float phi = (float)((omega + n * PI) * t);
        float sigma = (float)marrow::mathfn::sin(omega);
        ka = marrow::mathfn::sin(omega - phi) / sigma;
        kb = marrow::mathfn::sin((double)phi) / sigma;
    } else {
        /* Nearly the same (or opposite) rotation: sin omega is too small to
         * divide by; blend linearly. */
        ka = 1.0 - t;
        kb = t;
    }
    dquat r = {a.w * ka + b.w * kb, a.x * ka + b.x * kb, a.y * ka + b.y * kb, a.z * ka + b.z * kb};
    return to_quat(r);
}

int32_t orin_eval_rotation(orin_track *track, float frame, orin_quat *out) {
    if (frame < 0.0f) return ORIN_ERR_FRAME;
    if (!track || !track->keys || !out) return ORIN_ERR_NULL;
    float f = orin_track_wrap(track, frame);
    const orin_key *first = track->keys;
    /* Written so that a frame that is no number (a wrap by a last frame of
     * 0) gives the first key too. */
    if (!first->next || !(f >= first->frame)) {
        *out = first->quat;
        return ORIN_OK;
    }
    orin_key *k0 = orin_track_search(track, f);
    orin_key *k1 = k0->next;
    if (!k1 || f < k0->frame) {
        *out = k0->quat;
        return ORIN_OK;
    }
    double t = orin_track_param(k0, k1, f);
    /* Whole turns between the keys: the spin sums differ by d radians, of
     * which n full circles (toward zero) become n extra half-turns of the
     * quaternion angle. */
    double d = (double)k1->value.f[0] - k0->value.f[0];
    int32_t n = marrow::truncToInt32(d * (1.0 / (2.0 * PI)));
    orin_quat p = slerp(k0->quat, k1->quat, n, t);
    orin_quat r = slerp(k0->quat_out, k1->quat_in, n, t);
    *out = slerp(p, r, 0, 2.0 * t * (1.0 - t));
    return ORIN_OK;
}
