#pragma once
// A number written with a fixed count of decimals, the same text as
// std::to_chars(first, last, value, std::chars_format::fixed, decimals):
// the decimal nearest to the exact value of the double, an exact half to
// the even digit, and the sign of a negative value (also of -0 and of a
// value that rounds to zero). The common values of the job files (board
// coordinates, angles, serial numbers) are written by integer arithmetic;
// the rest goes to std::to_chars.
#include <cstddef>

namespace smt::job {

// The room the text is written into (a double's integer part has at most
// 309 digits).
inline constexpr size_t kFixedDecimalsRoom = 400;

// Writes `value` with `decimals` decimals at `out`, which has room for
// kFixedDecimalsRoom characters; returns the end of the text. A value that
// is not finite writes what std::to_chars writes ("inf", "nan"); a text
// that would not fit the room is not written (the end is `out`).
char* WriteFixedDecimals(double value, int decimals, char* out);

}  // namespace smt::job
