#include "job/FixedDecimals.h"

#include <charconv>
#include <cstdint>
#include <cstring>

namespace smt::job {

namespace {

constexpr uint64_t kPow10[] = {1ull,
                               10ull,
                               100ull,
                               1000ull,
                               10000ull,
                               100000ull,
                               1000000ull,
                               10000000ull,
                               100000000ull,
                               1000000000ull,
                               10000000000ull,
                               100000000000ull,
                               1000000000000ull,
                               10000000000000ull,
                               100000000000000ull,
                               1000000000000000ull,
                               10000000000000000ull,
                               100000000000000000ull};

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The number of decimal digits of `v` (at least one); v < 10^18.
inline int DigitCount(uint64_t v) {
  int n = 1;
  while (n < 18 && v >= kPow10[n]) ++n;
  return n;
}

// Writes exactly `count` digits of `v` (leading zeros) ending at `end`.
inline void PutDigits(uint64_t v, int count, char* end) {
  char* p = end;
  for (; count >= 2; count -= 2) {
    const unsigned pair = static_cast<unsigned>(v % 100);
    v /= 100;
    p -= 2;
    std::memcpy(p, kDigitPairs + 2 * pair, 2);
  }
  if (count > 0) *--p = static_cast<char>('0' + v % 10);
}

char* Fallback(double value, int decimals, char* out) {
  const auto r = std::to_chars(out, out + kFixedDecimalsRoom, value, std::chars_format::fixed, decimals);
  return r.ec == std::errc() ? r.ptr : out;
}

}  // namespace

char* WriteFixedDecimals(double value, int decimals, char* out) {
  if (decimals < 0 || decimals > 17) return Fallback(value, decimals, out);
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 63) != 0;
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
  // Fast only where the scaled value is exact in 128 bits: magnitudes below
  // 2^53 (an exponent below zero once the mantissa is an integer).
  if (biased == 0x7FF || biased >= 1075) return Fallback(value, decimals, out);
  int shift;  // value = mantissa / 2^shift
  if (biased == 0) {
    shift = 1074;
  } else {
    mantissa |= uint64_t{1} << 52;
    shift = 1075 - biased;
  }
  // The exact value times 10^decimals is mantissa * 10^decimals / 2^shift;
  // the product stays below 2^53 * 10^17 < 2^110.
  const unsigned __int128 scaled = static_cast<unsigned __int128>(mantissa) * kPow10[decimals];
  unsigned __int128 q;
  if (shift >= 120) {
    q = 0;  // below one half: rounds to zero
  } else {
    q = scaled >> shift;
    const unsigned __int128 rest = scaled - (q << shift);
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
    if (rest > half || (rest == half && (q & 1) != 0)) ++q;
  }
  if (q >= static_cast<unsigned __int128>(kPow10[17]) * 10) return Fallback(value, decimals, out);
  const uint64_t n = static_cast<uint64_t>(q);
  char* p = out;
  if (negative) *p++ = '-';
  // The digits go straight to their places: the whole part, the point and
  // the decimals.
  const uint64_t whole = n / kPow10[decimals];
  const int wholeLen = DigitCount(whole);
  p += wholeLen;
  PutDigits(whole, wholeLen, p);
  if (decimals > 0) {
    *p++ = '.';
    p += decimals;
    PutDigits(n - whole * kPow10[decimals], decimals, p);
  }
  return p;
}

}  // namespace smt::job
