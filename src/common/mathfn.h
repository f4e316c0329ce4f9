// mathfn.h: the elementary functions every pixel depends on, in this
// program's own implementation, so the desktop and the browser build (and
// every x86-64 processor variant of the C library) compute the same bits.
//
// The C libraries round sin, cos, atan2, pow and the like differently in the
// last bit (glibc and emscripten's musl do, and glibc's own FMA and SSE2
// variants do), and frames depend on them through truncations. These
// functions use only IEEE double additions, multiplications, divisions and
// square roots (no fused multiply-add, no long double, no table built at run
// time), so they give identical results wherever double arithmetic is IEEE.
//
// Accuracy: each is evaluated in double-double arithmetic and rounded once,
// so the result is the correctly rounded value except when the exact value
// lies very close to a rounding boundary: within 2^-64 relative (about
// 2^-11 ulp) for sin and cos, whose series tails are summed in plain double,
// within about 2^-40 ulp for the others; that is the correctly
// rounded result glibc also returns in nearly all cases (bench/ and
// tests/common/mathfn_test.cpp measure how often they differ).
//
// Arguments: any double. Special values (NaN, infinities, zeros, domain
// errors) give what C's functions give; errno is not set. sin, cos and tan
// reduce exactly for |x| < 2^20 * pi/2 (about 1.6 million); beyond that the
// reduction loses bits (the presentation's arguments stay below 10^5).
//
// Speed: sin, cos, atan, atan2, asin, acos and the float acos first try a
// fast evaluation (a table and a short series) and keep it only when its
// rounding is certain, which gives exactly the double-double value's bits;
// about one call in a hundred (one in a million for the float acos) falls
// back to the double-double evaluation.
//
// Cost: about 15 ns for the float acos, 30 ns for sin and cos, 40 to 70 ns
// for atan, atan2, asin and acos, 150 to 400 ns for tan, exp, log and pow
// and for the fallbacks (bench/).
#pragma once

namespace marrow::mathfn {

double sin(double x);
double cos(double x);
double tan(double x);
double atan(double x);
double atan2(double y, double x);
double asin(double x);
double acos(double x);
double exp(double x);
double log(double x);
double pow(double x, double y);

// The float versions: the double-double value rounded once to float.
float acos(float x);

// Float arguments that have no float version here go to the double one
// only when asked for explicitly; this keeps a call such as sin(someFloat)
// from quietly changing precision against the C library's sinf.
float sin(float) = delete;
float cos(float) = delete;
float tan(float) = delete;
float atan(float) = delete;
float atan2(float, float) = delete;
float asin(float) = delete;
float exp(float) = delete;
float log(float) = delete;
float pow(float, float) = delete;

}  // namespace marrow::mathfn
