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

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "common/mathfn_constants.h"

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

// x = k pi/2 + r, |r| <= about pi/4; returns k mod 4.
int reduceQuarterTurns(double x, DD& r) {
    // Far out, a whole turn (2 pi rounded to double) is taken off exactly
    // first; the result is then only as good as that turn (never the case
    // in the presentation).
    if (std::fabs(x) > 0x1p30) x = std::fmod(x, 0x1.921fb54442d18p+2);
    const double k = std::nearbyint(x * kTwoOverPi);
    if (std::fabs(k) < 1048576.0) {
        // k * part exact for the first two parts; x - k p1 is exact too
        // (the two are within a factor of two of each other or r is tiny).
        const double t = x - k * kPio2Part[0];
        DD a = twoSum(t, -k * kPio2Part[1]);
        a = add(a, neg(twoProd(k, kPio2Part[2])));
        r = a;
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

double tan(double x) {
    if (!std::isfinite(x)) return x - x;
    if (std::fabs(x) < 0x1p-27) return x;
    DD r;
    const int q = reduceQuarterTurns(x, r);
    const DD s = sinSmall(r), c = cosSmall(r);
    return q % 2 == 0 ? round(div(s, c)) : -round(div(c, s));
}

double atan(double x) {
    if (std::isnan(x)) return x;
    if (std::fabs(x) < 0x1p-27) return x;
    const double ax = std::fabs(x);
    const DD a = std::isinf(x) ? DD{kPio2Hi, kPio2Lo} : atanRatio(DD{ax, 0.0}, DD{1.0, 0.0});
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
        const double ay = std::fabs(y), ax = std::fabs(x);
        // Scaled so neither the quotient's parts nor its check underflow.
        const double q = ay / ax;
        if (q < 0x1p-60 && !xNeg) {
            r = {q, 0.0};
        } else if (q > 0x1p60) {
            r = pio2;
            if (!xNeg) r = add(r, -ax / ay);
            else r = add(r, ax / ay);
        } else {
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
