// The program's own elementary functions: values that follow from their
// definitions and from IEEE arithmetic, the C library's special cases, and
// how closely they follow the C library on the arguments the effects use.
#include "common/mathfn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

using namespace marrow;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Distance in units in the last place between two finite doubles.
int64_t ulps(double a, double b) {
    auto key = [](double d) {
        int64_t i;
        std::memcpy(&i, &d, sizeof i);
        return i < 0 ? INT64_MIN - i : i;
    };
    const int64_t d = key(a) - key(b);
    return d < 0 ? -d : d;
}

}  // namespace

TEST(MathFn, KnownRoundedValues) {
    // The nearest doubles of pi, pi/2, pi/4, e and ln 2, and sin, cos, tan
    // at the doubles nearest pi and pi/4 (their exact values are known
    // closely enough to round: sin(pi_d) = pi - pi_d = 1.2246467991473532e-16).
    const double pi = 3.141592653589793;
    EXPECT_EQ(mathfn::acos(-1.0), pi);
    EXPECT_EQ(mathfn::asin(1.0), pi / 2);
    EXPECT_EQ(mathfn::acos(0.0), pi / 2);
    EXPECT_EQ(mathfn::atan(1.0), pi / 4);
    EXPECT_EQ(mathfn::atan2(1.0, 1.0), pi / 4);
    EXPECT_EQ(mathfn::atan2(1.0, -1.0), 2.356194490192345);
    EXPECT_EQ(mathfn::exp(1.0), 2.718281828459045);
    EXPECT_EQ(mathfn::log(2.0), 0.6931471805599453);
    EXPECT_EQ(mathfn::log(10.0), 2.302585092994046);
    EXPECT_EQ(mathfn::sin(pi), 1.2246467991473532e-16);
    EXPECT_EQ(mathfn::cos(pi), -1.0);
    EXPECT_EQ(mathfn::tan(pi / 4), 0.9999999999999999);
    EXPECT_EQ(mathfn::sin(pi / 6), 0.49999999999999994);
    EXPECT_EQ(mathfn::cos(pi / 3), 0.5000000000000001);
    EXPECT_EQ(mathfn::acos(-1.0f), 3.14159274f);
}

TEST(MathFn, ExactCasesOfPow) {
    // Correctly rounded pow equals the correctly rounded sqrt and product.
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(1e-3, 1e6);
    for (int i = 0; i < 20000; ++i) {
        const double x = u(rng);
        ASSERT_EQ(mathfn::pow(x, 0.5), std::sqrt(x)) << x;
        ASSERT_EQ(mathfn::pow(x, 2.0), x * x) << x;
        ASSERT_EQ(mathfn::pow(x, 1.0), x) << x;
    }
    EXPECT_EQ(mathfn::pow(2.0, 10.0), 1024.0);
    EXPECT_EQ(mathfn::pow(2.0, -3.0), 0.125);
    EXPECT_EQ(mathfn::pow(-2.0, 3.0), -8.0);
    EXPECT_EQ(mathfn::pow(10.0, 15.0), 1e15);
    EXPECT_EQ(mathfn::exp(0.0), 1.0);
    EXPECT_EQ(mathfn::log(1.0), 0.0);
}

TEST(MathFn, SpecialValuesAsTheCLibraryGivesThem) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(std::isnan(mathfn::sin(kInf)));
    EXPECT_TRUE(std::isnan(mathfn::cos(nan)));
    EXPECT_TRUE(std::isnan(mathfn::asin(1.5)));
    EXPECT_TRUE(std::isnan(mathfn::acos(-1.0000001)));
    EXPECT_TRUE(std::isnan(mathfn::log(-1.0)));
    EXPECT_TRUE(std::isnan(mathfn::pow(-8.0, 1.0 / 3.0)));
    EXPECT_EQ(mathfn::log(0.0), -kInf);
    EXPECT_EQ(mathfn::exp(710.0), kInf);
    EXPECT_EQ(mathfn::exp(-746.0), 0.0);
    EXPECT_EQ(mathfn::exp(-kInf), 0.0);
    EXPECT_EQ(mathfn::pow(0.0, -1.0), kInf);
    EXPECT_EQ(mathfn::pow(-0.0, -1.0), -kInf);
    EXPECT_EQ(mathfn::pow(0.0, 0.1), 0.0);
    EXPECT_EQ(mathfn::pow(nan, 0.0), 1.0);
    EXPECT_EQ(mathfn::pow(1.0, nan), 1.0);
    EXPECT_EQ(mathfn::pow(-1.0, kInf), 1.0);
    EXPECT_EQ(mathfn::pow(0.5, kInf), 0.0);
    EXPECT_EQ(mathfn::atan2(0.0, -0.0), 3.141592653589793);
    EXPECT_EQ(mathfn::atan2(-0.0, -1.0), -3.141592653589793);
    EXPECT_EQ(mathfn::atan2(-1.0, -kInf), -3.141592653589793);
    EXPECT_EQ(mathfn::atan2(kInf, kInf), 0.7853981633974483);
    EXPECT_EQ(mathfn::atan2(1.0, 0.0), 1.5707963267948966);
    EXPECT_EQ(mathfn::atan(-kInf), -1.5707963267948966);
    EXPECT_TRUE(std::signbit(mathfn::sin(-0.0)));
    EXPECT_TRUE(std::signbit(mathfn::atan2(-0.0, 1.0)));
}

// glibc's functions are within about 0.55 ulp of the exact value and so
// round as these do in nearly all cases: never more than 1 ulp apart, and
// identical for all but a fraction of a percent of the arguments.
TEST(MathFn, FollowsTheCLibraryWithinOneUlp) {
    struct Case {
        const char* name;
        double (*ours)(double);
        double (*libc)(double);
        double lo, hi;
    };
    const Case cases[] = {
        {"sin", [](double x) { return mathfn::sin(x); }, [](double x) { return std::sin(x); }, -3000, 3000},
        {"cos", [](double x) { return mathfn::cos(x); }, [](double x) { return std::cos(x); }, -3000, 3000},
        {"tan", [](double x) { return mathfn::tan(x); }, [](double x) { return std::tan(x); }, -1.5, 1.5},
        {"atan", [](double x) { return mathfn::atan(x); }, [](double x) { return std::atan(x); }, -50, 50},
        {"atan2", [](double x) { return mathfn::atan2(x, -37.0); }, [](double x) { return std::atan2(x, -37.0); },
         -200, 200},
        {"asin", [](double x) { return mathfn::asin(x); }, [](double x) { return std::asin(x); }, -1, 1},
        {"acos", [](double x) { return mathfn::acos(x); }, [](double x) { return std::acos(x); }, -1, 1},
        {"exp", [](double x) { return mathfn::exp(x); }, [](double x) { return std::exp(x); }, -30, 30},
        {"log", [](double x) { return mathfn::log(x); }, [](double x) { return std::log(x); }, 1e-6, 1e6},
        {"pow", [](double x) { return mathfn::pow(x, 0.1); }, [](double x) { return std::pow(x, 0.1); }, 0, 3e5},
    };
    constexpr int kCount = 100000;
    for (const Case& c : cases) {
        std::mt19937_64 rng(11);
        std::uniform_real_distribution<double> u(c.lo, c.hi);
        int differing = 0;
        int64_t worst = 0;
        for (int i = 0; i < kCount; ++i) {
            const double x = u(rng);
            const int64_t d = ulps(c.ours(x), c.libc(x));
            differing += d != 0;
            worst = std::max(worst, d);
        }
        EXPECT_LE(worst, 1) << c.name;
        EXPECT_LT(differing, kCount / 200) << c.name << ": " << differing << " of " << kCount << " differ";
    }
}

// The float acos is the double-double value rounded once to float: the
// double result rounded to float gives the same except where the double
// itself lies on a float rounding boundary, which none of these arguments
// (floats, so their acos is irrational) comes near.
TEST(MathFn, FloatAcosIsTheCorrectlyRoundedFloat) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int i = 0; i < 100000; ++i) {
        const float x = u(rng);
        ASSERT_EQ(mathfn::acos(x), static_cast<float>(mathfn::acos(static_cast<double>(x)))) << x;
    }
}
