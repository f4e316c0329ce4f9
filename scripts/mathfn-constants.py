#!/usr/bin/env python3
"""Writes src/common/mathfn_constants.h: the constants of src/common/mathfn.cpp.

Each constant is computed here to 80 decimal digits with Python's decimal
module (pi by Machin's formula, ln 2 and arctangents by their series) and
split into doubles: a double-double (hi + lo, |lo| <= ulp(hi)/2), or parts of
few bits whose products with small integers are exact.

    python3 scripts/mathfn-constants.py > src/common/mathfn_constants.h
"""
from decimal import Decimal, getcontext
import math

getcontext().prec = 80
EPS = Decimal(10) ** -78


def atan_series(x):  # |x| < 1
    x = Decimal(x)
    total, power, n, sign = Decimal(0), x, 1, 1
    while abs(power) / n > EPS:
        total += sign * power / n
        power *= x * x
        n += 2
        sign = -sign
    return total


def sin_cos_series(x):  # |x| <= 1
    x = Decimal(x)
    s, c, term, n = Decimal(0), Decimal(0), Decimal(1), 0
    while abs(term) > EPS:  # term = x^n / n!
        if n % 4 == 0:
            c += term
        elif n % 4 == 1:
            s += term
        elif n % 4 == 2:
            c -= term
        else:
            s -= term
        n += 1
        term = term * x / n
    return s, c


def atanh_series(x):
    x = Decimal(x)
    total, power, n = Decimal(0), x, 1
    while abs(power) / n > EPS:
        total += power / n
        power *= x * x
        n += 2
    return total


PI = 16 * atan_series(Decimal(1) / 5) - 4 * atan_series(Decimal(1) / 239)
LN2 = 2 * atanh_series(Decimal(1) / 3)


def dd(v):
    hi = float(v)
    lo = float(v - Decimal(hi))
    return hi, lo


def leading_bits(v, bits):
    """v rounded down to a double with `bits` significant bits."""
    e = math.frexp(float(v))[1]
    scale = Decimal(2) ** (bits - e)
    return float(Decimal(int(v * scale)) / scale)


def parts(v, bits):
    p1 = leading_bits(v, bits)
    rest = v - Decimal(p1)
    p2 = leading_bits(rest, bits)
    p3 = float(rest - Decimal(p2))
    return p1, p2, p3


def h(x):
    return float(x).hex()


out = []
out.append("// mathfn_constants.h: constants of mathfn.cpp, written by")
out.append("// scripts/mathfn-constants.py (computed there to 80 digits). Do not edit.")
out.append("#pragma once")
out.append("")
out.append("namespace marrow::mathfn_detail {")
out.append("")
p = parts(PI / 2, 33)
out.append("// pi/2 in three parts of 33, 33 and 53 bits: k * part is exact for |k| < 2^20.")
out.append("constexpr double kPio2Part[3] = {%s, %s, %s};" % tuple(h(x) for x in p))
c = 134217729.0 * p[2]  # Veltkamp's split, as mathfn.cpp's split() does it
p3_hi = c - (c - p[2])
out.append("// The third part split in 26 + 27 bits (Veltkamp), for exact products by k.")
out.append("constexpr double kPio2Part3Split[2] = {%s, %s};" % (h(p3_hi), h(p[2] - p3_hi)))
out.append("constexpr double kPio2Hi = %s, kPio2Lo = %s;  // pi/2 as hi + lo" % tuple(h(x) for x in dd(PI / 2)))
out.append("constexpr double kPiHi = %s, kPiLo = %s;  // pi" % tuple(h(x) for x in dd(PI)))
out.append("constexpr double kTwoOverPi = %s;" % h(2 / PI))
p = parts(LN2, 32)
out.append("// ln 2 in three parts of 32, 32 and 53 bits: k * part is exact for |k| < 2^21.")
out.append("constexpr double kLn2Part[3] = {%s, %s, %s};" % tuple(h(x) for x in p))
out.append("constexpr double kLn2Hi = %s, kLn2Lo = %s;  // ln 2 as hi + lo" % tuple(h(x) for x in dd(LN2)))
out.append("constexpr double kInvLn2 = %s;" % h(1 / LN2))
out.append("")
out.append("// 1/n! as hi + lo, n = 0..31.")
out.append("constexpr double kInvFactorial[32][2] = {")
f = Decimal(1)
for n in range(32):
    if n > 0:
        f *= n
    out.append("    {%s, %s}," % tuple(h(x) for x in dd(1 / f)))
out.append("};")
out.append("")
out.append("// 1/n as hi + lo, n = 0..63 (entry 0 unused).")
out.append("constexpr double kInverse[64][2] = {")
out.append("    {0.0, 0.0},")
for n in range(1, 64):
    out.append("    {%s, %s}," % tuple(h(x) for x in dd(Decimal(1) / n)))
out.append("};")
out.append("")


def atan_table(name, n, comment):
    """atan(j/n) as hi + lo, j = 0..n."""
    out.append(comment)
    out.append("constexpr double %s[%d][2] = {" % (name, n + 1))
    for j in range(n + 1):
        v = PI / 4 if j == n else atan_series(Decimal(j) / n)
        out.append("    {%s, %s}," % tuple(h(x) for x in dd(v)))
    out.append("};")


atan_table("kAtanEighths", 8, "// atan(j/8) as hi + lo, j = 0..8.")
out.append("")
out.append("// sin(j/64) and cos(j/64) as hi + lo each, j = 0..51: the fast sine and")
out.append("// cosine's table (|r| <= pi/4 is within 51/64).")
out.append("constexpr double kSinCos64[52][4] = {")
for j in range(52):
    sv, cv = sin_cos_series(Decimal(j) / 64)
    out.append("    {%s, %s, %s, %s}," % tuple(h(x) for x in dd(sv) + dd(cv)))
out.append("};")
out.append("")
atan_table("kAtan64", 64, "// atan(j/64) as hi + lo, j = 0..64: the fast arctangent's table.")
out.append("")
out.append("}  // namespace marrow::mathfn_detail")
print("\n".join(out))
