#pragma once
// Rounding a value to a number of decimals as a number: the result is the
// value a "%0.Nf" text of it reads back as (the decimal nearest to the
// value, an exact half to the even digit, then the double nearest to that
// decimal), without writing and reading a text.
namespace smt::platform {

// decimals 0..9. NaN and infinities come back unchanged.
double RoundDecimals(double value, int decimals);

}  // namespace smt::platform
