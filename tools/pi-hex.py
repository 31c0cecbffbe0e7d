#!/usr/bin/env python3
# Prints Blowfish's initial subkeys, the hexadecimal digits of pi's fractional part, as 32-bit
# words (18 for the P-array, then 4 x 256 for the S-boxes): the source of scan/BlowfishTables.cpp.
# Machin's formula in integer arithmetic; needs nothing but Python.


def arctan_inv(x, one):
    total = term = one // x
    x2 = x * x
    n, sign = 1, -1
    while term:
        term //= x2
        total += sign * (term // (2 * n + 1))
        sign = -sign
        n += 1
    return total


def pi_words(count):
    bits = count * 32 + 64
    one = 1 << bits
    pi = 4 * (4 * arctan_inv(5, one) - arctan_inv(239, one))
    digits = format(pi - (3 << bits), "x").rjust(bits // 4, "0")
    return [int(digits[i * 8:(i + 1) * 8], 16) for i in range(count)]


if __name__ == "__main__":
    for word in pi_words(18 + 4 * 256):
        print("0x%08X" % word)
