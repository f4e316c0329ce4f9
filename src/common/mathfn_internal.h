// mathfn_internal.h: the reference evaluations behind mathfn.h's functions,
// for the tests and benchmarks only.
//
// Each public function of mathfn.h with a fast path (sin, cos, atan, atan2,
// asin, acos and the float acos) returns exactly what its reference returns
// here, for every argument; the reference is the original double-double
// evaluation and defines the value.
#pragma once

#include <cstdint>

namespace marrow::mathfn::reference {

double sin(double x);
double cos(double x);
double atan(double x);
double atan2(double y, double x);
double asin(double x);
double acos(double x);
float acos(float x);

// How many calls so far had to evaluate the reference because the fast
// result lay too close to a rounding boundary (all threads together).
uint64_t fallbackCount();

}  // namespace marrow::mathfn::reference
