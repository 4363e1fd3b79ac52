#!/usr/bin/env python3
"""Writes report/ten_powers.inc, the table of powers of ten that report/shortest_text.cpp scales
binary values by, worked out with exact integers:

    tools/make_ten_powers.py > report/ten_powers.inc
    tools/make_ten_powers.py --check report/ten_powers.inc    (fails if the file differs)

Entry k holds g = floor(10^-k / 2^r) + 1 for the r that puts g in [2^125, 2^126), split into its
high bits (g >> 63) and its low 63 bits, for every k = floor(log10(2^q)) (and floor(log10(3/4
2^q))) a finite double's binary exponent q can give. The script also checks the integer
products shortest_text.cpp uses for floor(log10(2^q)), floor(log10(3/4 2^q)) and
floor(log2(10^e)) against exact values over the whole range they are used on, and fails if one
is off.
"""
import sys
from fractions import Fraction

K_MIN, K_MAX = -324, 292
Q_MIN, Q_MAX = -1077, 1024  # the double's exponents, less the two bits of the bounds


def floor_log10(x):
    """floor(log10(x)) of a positive Fraction, exactly."""
    k = len(str(x.numerator)) - len(str(x.denominator)) - 1
    while Fraction(10) ** (k + 1) <= x:
        k += 1
    while Fraction(10) ** k > x:
        k -= 1
    return k


def floor_log2(x):
    """floor(log2(x)) of a positive Fraction, exactly."""
    r = x.numerator.bit_length() - x.denominator.bit_length()
    while Fraction(2) ** (r + 1) <= x:
        r += 1
    while Fraction(2) ** r > x:
        r -= 1
    return r


def check_products():
    for q in range(Q_MIN, Q_MAX + 1):
        assert (q * 661971961083) >> 41 == floor_log10(Fraction(2) ** q), q
        assert (q * 661971961083 - 274743187321) >> 41 == floor_log10(
            Fraction(3, 4) * Fraction(2) ** q), q
    for e in range(-K_MAX, -K_MIN + 1):
        assert (e * 913124641741) >> 38 == floor_log2(Fraction(10) ** e), e


def entry(k):
    power = Fraction(10) ** -k
    g = int(power / Fraction(2) ** (floor_log2(power) - 125)) + 1
    assert 2 ** 125 <= g < 2 ** 126, k
    return g >> 63, g & (2 ** 63 - 1)


def table():
    lines = ["// Written by tools/make_ten_powers.py: do not edit. For k from "
             f"{K_MIN} to {K_MAX}, the high bits and",
             "// the low 63 bits of floor(10^-k / 2^r) + 1, in [2^125, 2^126)."]
    for k in range(K_MIN, K_MAX + 1):
        high, low = entry(k)
        lines.append(f"{{0x{high:016x}, 0x{low:016x}}}, // {k}")
    return "\n".join(lines) + "\n"


def main():
    check_products()
    if sys.argv[1:2] == ["--check"]:
        if open(sys.argv[2]).read() != table():
            sys.exit(f"{sys.argv[2]} is not what tools/make_ten_powers.py writes")
        return
    sys.stdout.write(table())


if __name__ == "__main__":
    main()
