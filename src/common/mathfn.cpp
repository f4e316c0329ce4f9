// mathfn.cpp: sin, cos, tan, atan, atan2, asin, acos, exp, log and pow in
// double-double arithmetic. See mathfn.h for the contract.
//
// A double-double is an unevaluated sum hi + lo with |lo| <= ulp(hi)/2:
// about 106 significant bits. Its operations are built from the two exact
// transformations: twoSum (a + b = s + e exactly) and twoProd (a * b = p + e
// exactly, by Dekker's splitting, since a fused multiply-add is not
// allowed here). Each function reduces its argument to a small interval,
// sums a Taylor series there (the first terms in double-double, the tail,
// whose terms are below 2^-20 of the result, in plain double) and rounds
// hi + lo to double once at the end.
#include "common/mathfn.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "common/mathfn_constants.h"
#include "common/mathfn_internal.h"

namespace marrow::mathfn {

namespace {

using namespace mathfn_detail;

struct DD {
    double hi, lo;
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// a + b = s + e exactly.
inline DD twoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    const double e = (a - (s - bb)) + (b - bb);
    return {s, e};
}

// As twoSum, for |a| >= |b| (or a == 0).
inline DD quickTwoSum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// a = hi + lo with hi holding the upper 26 bits (Veltkamp's split by
// 2^27 + 1); valid for |a| < 2^996.
inline void split(double a, double& hi, double& lo) {
    const double c = 134217729.0 * a;
    hi = c - (c - a);
    lo = a - hi;
}

// a * b = p + e exactly (Dekker), barring overflow and underflow.
inline DD twoProd(double a, double b) {
    const double p = a * b;
    double ah, al, bh, bl;
    split(a, ah, al);
    split(b, bh, bl);
    const double e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
    return {p, e};
}

inline DD add(DD a, DD b) {
    DD s = twoSum(a.hi, b.hi);
    const DD t = twoSum(a.lo, b.lo);
    s.lo += t.hi;
    s = quickTwoSum(s.hi, s.lo);
    s.lo += t.lo;
    return quickTwoSum(s.hi, s.lo);
}

inline DD add(DD a, double b) {
    DD s = twoSum(a.hi, b);
    s.lo += a.lo;
    return quickTwoSum(s.hi, s.lo);
}

inline DD neg(DD a) { return {-a.hi, -a.lo}; }

inline DD mul(DD a, DD b) {
    DD p = twoProd(a.hi, b.hi);
    p.lo += a.hi * b.lo + a.lo * b.hi;
    return quickTwoSum(p.hi, p.lo);
}

inline DD mul(DD a, double b) {
    DD p = twoProd(a.hi, b);
    p.lo += a.lo * b;
    return quickTwoSum(p.hi, p.lo);
}

inline DD div(DD a, DD b) {
    const double q1 = a.hi / b.hi;
    DD r = add(a, neg(mul(b, q1)));
    const double q2 = r.hi / b.hi;
    r = add(r, neg(mul(b, q2)));
    const double q3 = r.hi / b.hi;
    return add(quickTwoSum(q1, q2), q3);
}

inline DD sqrtDD(DD a) {
    if (a.hi <= 0.0) return {0.0, 0.0};
    const double s = std::sqrt(a.hi);  // correctly rounded in IEEE arithmetic
    // One Newton step: s + (a - s^2) / 2s.
    const DD r = add(a, neg(twoProd(s, s)));
    return quickTwoSum(s, r.hi / (2.0 * s));
}

inline DD constant(const double (&c)[2]) { return {c[0], c[1]}; }
inline double round(DD a) { return a.hi + a.lo; }

// sin(r) and cos(r) for |r| <= pi/4 (plus a little), r given as r.hi + r.lo.
DD sinSmall(DD r) {
    const DD s = mul(r, r);
    // Tail: sum_{n=3}^{13} (-1)^n s^(n-3) / (2n+1)!, plain double (its
    // terms are below 5e-5 of the result: its rounding stays below 2^-67).
    double tail = 0.0;
    for (int n = 13; n >= 3; --n) {
        const double c = (n % 2 ? -1.0 : 1.0) * kInvFactorial[2 * n + 1][0];
        tail = c + s.hi * tail;
    }
    // Head: n = 2 and 1 in double-double.
    DD acc = {tail, 0.0};
    for (int n = 2; n >= 1; --n) {
        const DD c = n % 2 ? neg(constant(kInvFactorial[2 * n + 1])) : constant(kInvFactorial[2 * n + 1]);
        acc = add(c, mul(s, acc));
    }
    // r + r s acc
    return add(r, mul(mul(r, s), acc));
}

DD cosSmall(DD r) {
    const DD s = mul(r, r);
    // Tail from n = 4 (terms below 4e-6 of the result) in plain double.
    double tail = 0.0;
    for (int n = 14; n >= 4; --n) {
        const double c = (n % 2 ? -1.0 : 1.0) * kInvFactorial[2 * n][0];
        tail = c + s.hi * tail;
    }
    DD acc = {tail, 0.0};
    for (int n = 3; n >= 1; --n) {
        const DD c = n % 2 ? neg(constant(kInvFactorial[2 * n])) : constant(kInvFactorial[2 * n]);
        acc = add(c, mul(s, acc));
    }
    // 1 + s acc
    return add(mul(s, acc), 1.0);
}

// x - k pi/2 for an integer k, |k| < 2^20, nearest to x / (pi/2).
DD reduceNear(double x, double k) {
    // k * part exact for the first two parts; x - k p1 is exact too
    // (the two are within a factor of two of each other or r is tiny).
    const double t = x - k * kPio2Part[0];
    const DD a = twoSum(t, -k * kPio2Part[1]);
    return add(a, neg(twoProd(k, kPio2Part[2])));
}

// x = k pi/2 + r, |r| <= about pi/4; returns k mod 4.
int reduceQuarterTurns(double x, DD& r) {
    // Far out, a whole turn (2 pi rounded to double) is taken off exactly
    // first; the result is then only as good as that turn (never the case
    // in the presentation).
    if (std::fabs(x) > 0x1p30) x = std::fmod(x, 0x1.921fb54442d18p+2);
    const double k = std::nearbyint(x * kTwoOverPi);
    if (std::fabs(k) < 1048576.0) {
        r = reduceNear(x, k);
    } else {
        DD a = add(twoProd(k, -kPio2Part[0]), x);
        a = add(a, neg(twoProd(k, kPio2Part[1])));
        a = add(a, neg(twoProd(k, kPio2Part[2])));
        r = a;
    }
    const double q = std::fmod(k, 4.0);
    return static_cast<int>(q < 0 ? q + 4.0 : q);
}

// exp(r) for |r| <= ln2/2 (plus a little).
DD expSmall(DD r) {
    // Tail: sum_{n=8}^{24} r^(n-8) / n!, plain double. More terms in
    // double-double than exp alone would need, for pow's sake: pow's
    // results must round as the exact power does (x^2 as x * x).
    double tail = 0.0;
    for (int n = 24; n >= 8; --n) tail = kInvFactorial[n][0] + r.hi * tail;
    DD acc = {tail, 0.0};
    for (int n = 7; n >= 1; --n) acc = add(constant(kInvFactorial[n]), mul(r, acc));
    return add(mul(r, acc), 1.0);
}

// exp(x.hi + x.lo) as a double-double mantissa m and a power of two k.
DD expDD(DD x, int& k) {
    const double kd = std::nearbyint(x.hi * kInvLn2);
    DD r = twoSum(x.hi - kd * kLn2Part[0], -kd * kLn2Part[1]);
    r = add(r, neg(twoProd(kd, kLn2Part[2])));
    r = add(r, x.lo);
    k = static_cast<int>(kd);
    return expSmall(r);
}

// log(x) for finite x > 0, as a double-double.
DD logDD(double x) {
    int e = 0;
    if (x < 0x1p-1022) {  // subnormal: make it normal first
        x *= 0x1p54;
        e = -54;
    }
    int fe = 0;
    double m = std::frexp(x, &fe);  // m in [0.5, 1), exact
    e += fe;
    if (m < 0.70710678118654752) {
        m *= 2.0;
        e -= 1;
    }
    // log m = 2 atanh(s), s = (m - 1) / (m + 1), |s| <= 0.1716.
    const DD num = {m - 1.0, 0.0};  // exact: m is in [0.7, 1.42)
    const DD s = div(num, twoSum(m, 1.0));
    const DD s2 = mul(s, s);
    // Tail: sum_{n=4}^{22} s2^(n-4) / (2n+1), plain double. One term more
    // in double-double than log alone would need: pow multiplies the
    // logarithm's absolute error into the relative error of its result.
    double tail = 0.0;
    for (int n = 22; n >= 4; --n) tail = kInverse[2 * n + 1][0] + s2.hi * tail;
    DD acc = {tail, 0.0};
    for (int n = 3; n >= 1; --n) acc = add(constant(kInverse[2 * n + 1]), mul(s2, acc));
    // 2 (s + s s2 acc)
    DD series = add(s, mul(mul(s, s2), acc));
    series = {2.0 * series.hi, 2.0 * series.lo};
    const DD ln2 = {kLn2Hi, kLn2Lo};
    return add(mul(ln2, static_cast<double>(e)), series);
}

// atan(t) for t >= 0 given as a double-double, t <= 1 (plus a little).
DD atanUnit(DD t) {
    // atan t = atan c + atan u, c = j/8, u = (t - c) / (1 + t c), |u| <= 1/15.
    const int j = static_cast<int>(std::nearbyint(t.hi * 8.0));
    const int jj = j < 0 ? 0 : j > 8 ? 8 : j;
    const double c = jj / 8.0;
    DD u = t;
    if (jj != 0) u = div(add(t, -c), add(mul(t, c), 1.0));
    const DD u2 = mul(u, u);
    // Tail: sum_{n=2}^{14} (-1)^n u2^(n-2) / (2n+1), plain double (terms
    // below 4e-6 of the series).
    double tail = 0.0;
    for (int n = 14; n >= 2; --n) tail = (n % 2 ? -1.0 : 1.0) * kInverse[2 * n + 1][0] + u2.hi * tail;
    DD acc = {tail, 0.0};
    for (int n = 1; n >= 1; --n) {
        const DD k = n % 2 ? neg(constant(kInverse[2 * n + 1])) : constant(kInverse[2 * n + 1]);
        acc = add(k, mul(u2, acc));
    }
    const DD series = add(u, mul(mul(u, u2), acc));
    return add(constant(kAtanEighths[jj]), series);
}

// atan(a / b) for a, b >= 0 (not both 0), in [0, pi/2], as a double-double.
DD atanRatio(DD a, DD b) {
    const DD pio2 = {kPio2Hi, kPio2Lo};
    if (a.hi <= b.hi) {
        if (a.hi == 0.0) return {0.0, 0.0};
        return atanUnit(div(a, b));
    }
    if (b.hi == 0.0) return pio2;
    return add(pio2, neg(atanUnit(div(b, a))));
}

// 1 - x^2 as a double-double, |x| <= 1.
DD oneMinusSquare(double x) {
    const double ax = std::fabs(x);
    if (ax >= 0.5) return mul(DD{1.0 - ax, 0.0}, twoSum(1.0, ax));  // 1 - ax exact here
    return add(neg(twoProd(x, x)), 1.0);
}

// The double-double rounded once to float (ties to even on the exact sum).
float roundToFloat(DD a) {
    float f = static_cast<float>(a.hi);
    const double back = static_cast<double>(f);
    const double gap = a.hi - back;  // exact
    if (gap != 0.0 && a.lo != 0.0) {
        const float up = std::numeric_limits<float>::infinity();
        const float toward = std::nextafter(f, gap > 0 ? up : -up);
        const double half = (static_cast<double>(toward) - back) * 0.5;
        // a.hi lies exactly halfway: a.lo decides.
        if (gap == half && ((gap > 0) == (a.lo > 0))) f = toward;
    }
    return f;
}

}  // namespace

// The reference evaluations: the definition of each function's value. The
// public functions below return exactly what these return, faster.
namespace reference {

namespace {

// sin(q quarter turns + r), q taken modulo 4: cos(x) is sin(x + a quarter
// turn), so cos passes its quadrant plus one.
double sinQuadrant(int q, DD r) {
    switch (q & 3) {
    case 0: return round(sinSmall(r));
    case 1: return round(cosSmall(r));
    case 2: return -round(sinSmall(r));
    default: return -round(cosSmall(r));
    }
}

}  // namespace

double sin(double x) {
    if (!std::isfinite(x)) return x - x;
    if (std::fabs(x) < 0x1p-26) return x;
    DD r;
    const int q = reduceQuarterTurns(x, r);
    return sinQuadrant(q, r);
}

double cos(double x) {
    if (!std::isfinite(x)) return x - x;
    if (std::fabs(x) < 0x1p-27) return 1.0;
    DD r;
    const int q = reduceQuarterTurns(x, r);
    return sinQuadrant(q + 1, r);
}

double atan(double x) {
    if (std::isnan(x)) return x;
    if (std::fabs(x) < 0x1p-27) return x;
    const double ax = std::fabs(x);
    // Above 2^996 (Dekker's split overflows there) atan x is pi/2 to far
    // beyond double precision.
    const DD a = ax > 0x1p996 ? DD{kPio2Hi, kPio2Lo} : atanRatio(DD{ax, 0.0}, DD{1.0, 0.0});
    const double r = round(a);
    return x < 0 ? -r : r;
}

double atan2(double y, double x) {
    if (std::isnan(x) || std::isnan(y)) return x + y;
    const bool yNeg = std::signbit(y), xNeg = std::signbit(x);
    const DD pi = {kPiHi, kPiLo}, pio2 = {kPio2Hi, kPio2Lo};
    DD r;
    if (y == 0.0) {
        // +-0 for x > 0 or +0, +-pi for x < 0 or -0.
        r = xNeg ? pi : DD{0.0, 0.0};
    } else if (std::isinf(x)) {
        const DD pio4 = {kPio2Hi * 0.5, kPio2Lo * 0.5};
        if (std::isinf(y)) r = xNeg ? add(pi, neg(pio4)) : pio4;
        else r = xNeg ? pi : DD{0.0, 0.0};
    } else if (std::isinf(y) || x == 0.0) {
        r = pio2;
    } else {
        double ay = std::fabs(y), ax = std::fabs(x);
        const double q = ay / ax;
        if (q < 0x1p-60 && !xNeg) {
            r = {q, 0.0};
        } else if (q > 0x1p60) {
            r = pio2;
            if (!xNeg) r = add(r, -ax / ay);
            else r = add(r, ax / ay);
        } else {
            // Scaled by 2^-600 (the quotient unchanged) where the products
            // inside would overflow: Dekker's split does above 2^996. The
            // smaller only loses bits when the quotient is below 2^-400,
            // where pi - atan of it rounds to pi all the same.
            if (std::max(ay, ax) > 0x1p996) {
                ay *= 0x1p-600;
                ax *= 0x1p-600;
            }
            r = atanRatio(DD{ay, 0.0}, DD{ax, 0.0});
            if (xNeg) r = add(pi, neg(r));
        }
    }
    const double v = round(r);
    return yNeg ? -v : v;
}

double asin(double x) {
    if (std::isnan(x)) return x;
    const double ax = std::fabs(x);
    if (ax > 1.0) return kNaN;
    if (ax < 0x1p-26) return x;
    const DD w = sqrtDD(oneMinusSquare(x));
    const double r = round(atanRatio(DD{ax, 0.0}, w));
    return x < 0 ? -r : r;
}

namespace {

DD acosDD(double x) {
    const DD w = sqrtDD(oneMinusSquare(x));
    const DD a = atanRatio(w, DD{std::fabs(x), 0.0});
    if (x >= 0.0) return a;
    return add(DD{kPiHi, kPiLo}, neg(a));
}

}  // namespace

double acos(double x) {
    if (std::isnan(x)) return x;
    if (std::fabs(x) > 1.0) return kNaN;
    return round(acosDD(x));
}

float acos(float x) {
    if (std::isnan(x)) return x;
    if (std::fabs(x) > 1.0f) return std::numeric_limits<float>::quiet_NaN();
    return roundToFloat(acosDD(static_cast<double>(x)));
}

}  // namespace reference

// The fast paths. Each evaluates its function from a table at multiples of
// 1/64 and a short series on the remainder, to a relative error below 2^-65
// (only the leading products exact, the rest in plain double), and keeps
// the result only when rounding it is certain: when no rounding boundary
// lies within kMargin of it. The reference evaluation is within 2^-64 of
// the exact value (its plain-double series tails are the weakest part), so
// where the fast result's rounding is certain the exact value and the
// reference value lie on the same side of every boundary, and the reference
// returns the same double. Otherwise the reference is evaluated after all
// (about one call in a hundred; reference::fallbackCount counts them).
namespace {

constexpr double kMargin = 0x1p-60;  // relative to the result

std::atomic<uint64_t> gFallbacks{0};

// hi + lo rounded to double, when every value within kMargin |hi| of it
// rounds to the same double; false otherwise.
inline bool roundsSafely(DD a, double& out) {
    const double e = std::fabs(a.hi) * kMargin;
    const double up = a.hi + (a.lo + e);
    const double down = a.hi + (a.lo - e);
    out = up;
    return up == down;
}

// The float acos's evaluation is in plain double, within 2^-49 of the exact
// value (the reference's, a double-double, is far closer): v rounded to
// float, when every value within 2^-44 |v| of it rounds to the same float.
inline bool roundsSafelyToFloat(double v, float& out) {
    const double e = std::fabs(v) * 0x1p-44;
    const float up = static_cast<float>(v + e);
    out = static_cast<float>(v - e);
    return up == out;
}

template <class T, class... Args>
T fallBack(T (*ref)(Args...), Args... args) {
    gFallbacks.fetch_add(1, std::memory_order_relaxed);
    return ref(args...);
}

// a / b as a double-double (the remainder a - q b is exact).
inline DD quotient(DD a, DD b) {
    const double q = a.hi / b.hi;
    const DD p = twoProd(q, b.hi);
    const double rem = ((a.hi - p.hi) - p.lo) + a.lo - q * b.lo;
    return quickTwoSum(q, rem / b.hi);
}

// As reduceQuarterTurns for |x| < 2^20 (the same r, the same quadrant),
// without the library calls: adding and taking off 1.5 * 2^52 rounds to the
// nearest integer, ties to even, as nearbyint does.
inline int reduceQuarterTurnsFast(double x, DD& r) {
    constexpr double kShifter = 0x1.8p52;
    const double k = (x * kTwoOverPi + kShifter) - kShifter;
    const double t = x - k * kPio2Part[0];
    const DD a = twoSum(t, -k * kPio2Part[1]);
    // twoProd(k, third part) with the part split beforehand: k has at most
    // 21 bits, so its own split is k + 0, and the exact product is the same.
    const double p = k * kPio2Part[2];
    r = add(a, neg(DD{p, (k * kPio2Part3Split[0] - p) + k * kPio2Part3Split[1]}));
    return static_cast<int>(static_cast<int64_t>(k) & 3);
}

// The j for which j/64 is nearest to v (0 <= v < 2^20), ties up. Exactly:
// x - j/64 is then exact, since j > 0 implies v >= 1/128 (v * 64 + 0.5
// would round up for v just below 1/128).
inline int nearestSixtyFourth(double v) {
    const double scaled = v * 64.0;  // exact
    const int j = static_cast<int>(scaled);
    return scaled - j >= 0.5 ? j + 1 : j;
}

// sin r, or cos r, for |r| <= pi/4 (plus a little): with c = +-j/64 nearest
// to r and d = r - c (|d| <= 1/128), sin(c + d) = sin c cos d + cos c
// sin d and cos(c + d) = cos c cos d - sin c sin d.
DD sinCosTable(DD r, bool cosine) {
    // c = +-j/64 takes r's sign: sin(-c) = -sin c, cos(-c) = cos c.
    const double sign = r.hi < 0.0 ? -1.0 : 1.0;
    const int j = nearestSixtyFourth(sign * r.hi);
    const double dh = r.hi - sign * (j * 0x1p-6);  // exact
    const double dl = r.lo;
    // dh^2 = zh + zl exactly, and b.hi dh = p1 + e1 (Dekker, dh split once).
    double dhh, dhl, bh, bl;
    split(dh, dhh, dhl);
    const double zh = dh * dh;
    const double zl = ((dhh * dhh - zh) + 2.0 * dhh * dhl) + dhl * dhl;
    // sin d = dh + sl: dh (1 - dh^2/6 + dh^4/120 - dh^6/5040) + dl (1 - dh^2/2).
    const double ps = zh * (-kInvFactorial[3][0] + zh * (kInvFactorial[5][0] - zh * kInvFactorial[7][0]));
    const double sl = dl * (1.0 - 0.5 * zh) + dh * ps;
    // cos d = 1 + cmh + cml: 1 - d^2/2 + d^4/24 - d^6/720 + d^8/40320, with
    // d^2 = zh + zl + 2 dh dl.
    const double cmh = -0.5 * zh;  // exact
    const double cml = -0.5 * zl - dh * dl +
                       zh * zh * (kInvFactorial[4][0] - zh * (kInvFactorial[6][0] - zh * kInvFactorial[8][0]));
    const double(&t)[4] = kSinCos64[j];
    // sin: a = sin c, b = cos c; cos: a = cos c, b = -sin c; a cos d + b sin d.
    const DD a = cosine ? DD{t[2], t[3]} : DD{sign * t[0], sign * t[1]};
    const DD b = cosine ? DD{-sign * t[0], -sign * t[1]} : DD{t[2], t[3]};
    split(b.hi, bh, bl);
    const double p1 = b.hi * dh;
    const double e1 = ((bh * dhh - p1) + bh * dhl + bl * dhh) + bl * dhl;
    // a.hi cmh rounded: below 2^-15 |a.hi| and |a| <= 2 |result|, so its
    // rounding stays below 2^-67 of the result.
    const double p2 = a.hi * cmh;
    // |p1| <= 2^-7 <= |a.hi| unless a.hi = 0, |p2| <= |s1.hi|: quick sums.
    const DD s1 = quickTwoSum(a.hi, p1);
    const DD s2 = quickTwoSum(s1.hi, p2);
    const double lo = (b.lo * dh + a.lo * cmh + a.hi * cml) + b.hi * sl + (a.lo + e1 + s1.lo + s2.lo);
    return quickTwoSum(s2.hi, lo);
}

// c v = p + e exactly, for c = j/64 (at most 7 bits, so only v is split).
inline DD timesSixtyFourth(double c, double v) {
    double vh, vl;
    split(v, vh, vl);
    const double p = c * v;
    return {p, (vh * c - p) + vl * c};
}

// atan(a / b) for 0 < a <= b (plus a little): with c = j/64 nearest to a/b,
// atan(a / b) = atan c + atan u, u = (a - c b) / (b + c a), |u| <= 1/128.
DD atanTable(DD a, DD b) {
    const int j = nearestSixtyFourth(a.hi / b.hi);
    const double c = j * 0x1p-6;
    const DD cb = timesSixtyFourth(c, b.hi), ca = timesSixtyFourth(c, a.hi);
    DD num = twoSum(a.hi, -cb.hi);
    num = quickTwoSum(num.hi, num.lo + (a.lo - cb.lo - c * b.lo));
    DD den = twoSum(b.hi, ca.hi);
    den = quickTwoSum(den.hi, den.lo + ca.lo + b.lo + c * a.lo);
    const DD u = quotient(num, den);
    // atan u = u - u^3/3 + u^5/5 - u^7/7 + u^9/9, and ul (1 - u^2) for the
    // low part.
    const double z = u.hi * u.hi;
    const double poly = z * (-kInverse[3][0] + z * (kInverse[5][0] - z * (kInverse[7][0] - z * kInverse[9][0])));
    const DD s = twoSum(kAtan64[j][0], u.hi);
    const double lo = u.hi * poly + (u.lo * (1.0 - z) + kAtan64[j][1] + s.lo);
    return quickTwoSum(s.hi, lo);
}

// atan t for t in [0, 1] in plain double, for the float acos: the same table,
// within 2^-50.5 relative (u's roundings, below 2^-51.4 of the result since
// atan c >= 2^-7 when c > 0 and u = t exactly when c = 0, the series' tail,
// below 2^-59, and the last sum's rounding).
double atanTableDouble(double t) {
    const int j = nearestSixtyFourth(t);
    const double c = j * 0x1p-6;
    const double u = (t - c) / (1.0 + t * c);  // t - c exact
    const double z = u * u;
    const double poly = z * (-kInverse[3][0] + z * (kInverse[5][0] - z * kInverse[7][0]));
    return kAtan64[j][0] + (kAtan64[j][1] + (u + u * poly));
}

// atan(a / b) for a, b > 0 of moderate size, in (0, pi/2).
DD atanRatioFast(DD a, DD b) {
    if (a.hi <= b.hi) return atanTable(a, b);
    return add(DD{kPio2Hi, kPio2Lo}, neg(atanTable(b, a)));
}

// acos x for 2^-400 <= |x| < 1 as a double-double: atan(sqrt(1 - x^2) / |x|),
// taken from pi for negative x.
DD acosFast(double x) {
    const DD w = sqrtDD(oneMinusSquare(x));
    const DD a = atanRatioFast(w, DD{std::fabs(x), 0.0});
    if (x >= 0.0) return a;
    return add(DD{kPiHi, kPiLo}, neg(a));
}

// Doubles whose quotients, squares and split products neither overflow nor
// come near underflow.
inline bool moderate(double ax) { return ax >= 0x1p-400 && ax <= 0x1p400; }

}  // namespace

uint64_t reference::fallbackCount() { return gFallbacks.load(std::memory_order_relaxed); }

namespace {

// sin(x + quarterTurns pi/2) for 2^-27 <= |x| < 2^20: sin for 0, cos for 1.
double sinShifted(double x, int quarterTurns, double (*ref)(double)) {
    DD r;
    const int q = reduceQuarterTurnsFast(x, r) + quarterTurns;
    double v;
    if (roundsSafely(sinCosTable(r, q & 1), v)) return q & 2 ? -v : v;
    return fallBack(ref, x);
}

}  // namespace

double sin(double x) {
    const double ax = std::fabs(x);
    if (ax >= 0x1p-26 && ax < 0x1p20) return sinShifted(x, 0, reference::sin);
    return reference::sin(x);
}

double cos(double x) {
    const double ax = std::fabs(x);
    if (ax >= 0x1p-27 && ax < 0x1p20) return sinShifted(x, 1, reference::cos);
    return reference::cos(x);
}

double atan(double x) {
    const double ax = std::fabs(x);
    if (ax >= 0x1p-27 && ax <= 0x1p60) {
        const DD a = atanRatioFast(DD{ax, 0.0}, DD{1.0, 0.0});
        double v;
        if (roundsSafely(a, v)) return x < 0 ? -v : v;
        return fallBack(reference::atan, x);
    }
    return reference::atan(x);
}

double atan2(double y, double x) {
    const double ay = std::fabs(y), ax = std::fabs(x);
    if (moderate(ay) && moderate(ax)) {
        const double q = ay / ax;
        // Very small and very large quotients take the reference's own
        // shortcuts.
        if (q >= 0x1p-60 && q <= 0x1p60) {
            DD r = atanRatioFast(DD{ay, 0.0}, DD{ax, 0.0});
            if (std::signbit(x)) r = add(DD{kPiHi, kPiLo}, neg(r));
            double v;
            if (roundsSafely(r, v)) return std::signbit(y) ? -v : v;
            return fallBack(reference::atan2, y, x);
        }
    }
    return reference::atan2(y, x);
}

double asin(double x) {
    const double ax = std::fabs(x);
    if (ax >= 0x1p-26 && ax < 1.0) {
        const DD w = sqrtDD(oneMinusSquare(x));
        double v;
        if (roundsSafely(atanRatioFast(DD{ax, 0.0}, w), v)) return x < 0 ? -v : v;
        return fallBack(reference::asin, x);
    }
    return reference::asin(x);
}

double acos(double x) {
    const double ax = std::fabs(x);
    if (moderate(ax) && ax < 1.0) {
        double v;
        if (roundsSafely(acosFast(x), v)) return v;
        return fallBack<double, double>(reference::acos, x);
    }
    return reference::acos(x);
}

float acos(float x) {
    const double xd = x, ax = std::fabs(xd);
    if (ax < 1.0) {
        // 1 - x^2 is exact or nearly so for a float x, so the ratio is
        // within 3 * 2^-53 relative, and so is its arctangent; none of the
        // steps cancels (the ratio is at most 1, pi/2 - atan of it is at
        // least pi/4, pi - acos|x| at least pi/2): within 2^-49.5 in all.
        const double w = std::sqrt(1.0 - xd * xd);
        const double a = ax <= w ? (kPio2Hi - atanTableDouble(ax / w)) + kPio2Lo : atanTableDouble(w / ax);
        float v;
        if (roundsSafelyToFloat(x < 0 ? (kPiHi - a) + kPiLo : a, v)) return v;
        return fallBack<float, float>(reference::acos, x);
    }
    return reference::acos(x);
}

double tan(double x) {
    if (!std::isfinite(x)) return x - x;
    if (std::fabs(x) < 0x1p-27) return x;
    DD r;
    const int q = reduceQuarterTurns(x, r);
    const DD s = sinSmall(r), c = cosSmall(r);
    return q % 2 == 0 ? round(div(s, c)) : -round(div(c, s));
}

double exp(double x) {
    if (std::isnan(x)) return x;
    if (x > 709.782712893384) return kInf;
    if (x < -745.2) return 0.0;
    if (std::fabs(x) < 0x1p-54) return 1.0 + x;
    int k = 0;
    const DD m = expDD(DD{x, 0.0}, k);
    return std::ldexp(round(m), k);
}

double log(double x) {
    if (std::isnan(x)) return x;
    if (x < 0.0) return kNaN;
    if (x == 0.0) return -kInf;
    if (std::isinf(x)) return x;
    if (x == 1.0) return 0.0;
    return round(logDD(x));
}

namespace {

// 0 for a non-integer, 1 for an odd integer, 2 for an even integer.
int integerKind(double y) {
    if (std::nearbyint(y) != y) return 0;
    if (std::fabs(y) >= 0x1p53) return 2;
    return std::fmod(y, 2.0) != 0.0 ? 1 : 2;
}

}  // namespace

double pow(double x, double y) {
    if (y == 0.0 || x == 1.0) return 1.0;
    if (std::isnan(x) || std::isnan(y)) return x + y;
    const int kind = integerKind(y);
    if (x == 0.0) {
        const bool oddNeg = kind == 1 && std::signbit(x);
        if (y < 0) return oddNeg ? -kInf : kInf;
        return oddNeg ? -0.0 : 0.0;
    }
    if (std::isinf(y)) {
        const double ax = std::fabs(x);
        if (ax == 1.0) return 1.0;
        return (ax > 1.0) == (y > 0) ? kInf : 0.0;
    }
    if (std::isinf(x)) {
        const bool oddNeg = kind == 1 && x < 0;
        const double v = y > 0 ? kInf : 0.0;
        return oddNeg ? -v : v;
    }
    if (x < 0.0 && kind == 0) return kNaN;
    const bool negate = x < 0.0 && kind == 1;
    const DD l = logDD(std::fabs(x));
    const DD p = mul(l, y);
    double v;
    if (p.hi > 709.8) v = kInf;
    else if (p.hi < -745.2) v = 0.0;
    else {
        int k = 0;
        const DD m = expDD(p, k);
        v = std::ldexp(round(m), k);
    }
    return negate ? -v : v;
}

}  // namespace marrow::mathfn
