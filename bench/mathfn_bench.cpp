// The program's own elementary functions beside the C library's, and the
// fast paths beside the reference evaluations they stand in for: ns per call
// on 1024 arguments of the ranges the effects use, cycled.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "common/mathfn.h"
#include "common/mathfn_internal.h"

namespace {

std::vector<double> arguments(double lo, double hi) {
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> u(lo, hi);
    std::vector<double> v(1024);
    for (double& x : v) x = u(rng);
    return v;
}

template <class F>
void perCall(benchmark::State& state, F f, double lo, double hi) {
    const std::vector<double> args = arguments(lo, hi);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f(args[i]));
        i = (i + 1) & 1023;
    }
}

}  // namespace

#define MATH_PAIR(name, ours, libc, lo, hi)                                                             \
    static void BM_Ours_##name(benchmark::State& s) { perCall(s, [](double x) { return ours; }, lo, hi); } \
    static void BM_Libc_##name(benchmark::State& s) { perCall(s, [](double x) { return libc; }, lo, hi); } \
    BENCHMARK(BM_Ours_##name)->Name("mathfn/" #name "/ours");                                         \
    BENCHMARK(BM_Libc_##name)->Name("mathfn/" #name "/libc")

MATH_PAIR(sin, marrow::mathfn::sin(x), std::sin(x), -3000, 3000);
MATH_PAIR(cos, marrow::mathfn::cos(x), std::cos(x), -3000, 3000);
MATH_PAIR(tan, marrow::mathfn::tan(x), std::tan(x), -1.5, 1.5);
MATH_PAIR(atan, marrow::mathfn::atan(x), std::atan(x), -50, 50);
MATH_PAIR(atan2, marrow::mathfn::atan2(x, -37.0), std::atan2(x, -37.0), -200, 200);
MATH_PAIR(asin, marrow::mathfn::asin(x), std::asin(x), -1, 1);
MATH_PAIR(acos, marrow::mathfn::acos(x), std::acos(x), -1, 1);
MATH_PAIR(acosf, marrow::mathfn::acos(static_cast<float>(x)), std::acos(static_cast<float>(x)), -1, 1);
MATH_PAIR(exp, marrow::mathfn::exp(x), std::exp(x), -30, 30);
MATH_PAIR(log, marrow::mathfn::log(x), std::log(x), 1e-6, 1e6);
MATH_PAIR(pow, marrow::mathfn::pow(x, 0.1), std::pow(x, 0.1), 0, 3e5);

#define MATH_REFERENCE(name, expr, lo, hi)                                                           \
    static void BM_Reference_##name(benchmark::State& s) { perCall(s, [](double x) { return expr; }, lo, hi); } \
    BENCHMARK(BM_Reference_##name)->Name("mathfn/" #name "/reference")

namespace ref = marrow::mathfn::reference;
MATH_REFERENCE(sin, ref::sin(x), -3000, 3000);
MATH_REFERENCE(cos, ref::cos(x), -3000, 3000);
MATH_REFERENCE(atan, ref::atan(x), -50, 50);
MATH_REFERENCE(atan2, ref::atan2(x, -37.0), -200, 200);
MATH_REFERENCE(asin, ref::asin(x), -1, 1);
MATH_REFERENCE(acos, ref::acos(x), -1, 1);
MATH_REFERENCE(acosf, ref::acos(static_cast<float>(x)), -1, 1);
