// modGeneral: normal and F upper-tail probabilities and the critical F tables.
//
// The functions are stateless and thread-safe. They compute with the stated
// mixture of single and double precision and return single-precision values;
// they never return NaN or an infinity. Faults raise the program's run-time
// errors (common/RuntimeErrors.h) and are never caught here.
#pragma once

#include <cstdint>

namespace orvalis::modGeneral {

// P(X > x) for X normal with the given mean and standard deviation, from the
// six-coefficient rational approximation of erfc (erfc(t) ~ s^-16). Beyond
// |z| > 14.14 the tail is frozen at t = 10. Throws DivisionByZeroError for
// sd = 0 (InvalidOperationError when x equals the mean as well) and
// OverflowError when z leaves the single-precision range.
float NormalProb(double x, double mean, double sd);

// P(F(df1, df2) > F), mapping F to a normal deviate. Throws, never returning a
// probability, where the mapping is undefined: DivisionByZeroError for a zero
// divisor (df1 = 0, df2 = 0, df1 + df2 = 2 with a non-zero numerator, or
// df2 + F*df1 = 0), InvalidOperationError for 0/0 (F = 0 with df1 = 1,
// df1 = df2 = 1) or the logarithm of a negative number, OverflowError for an
// integer overflow of df1 - 1, df2 - 1 or df1 + df2.
float FProb(float F, std::int32_t df1, std::int32_t df2);

// The upper 10%, 5% and 1% critical values of F(i, df2): one read of a constant
// table. i = 0 or df2 = 0 gives 0; df2 above 200 answers from the row for 200.
// Throws SubscriptError for i outside 0..4 or a negative df2.
float FCritical10(std::int32_t i, std::int32_t df2);
float FCritical05(std::int32_t i, std::int32_t df2);
float FCritical01(std::int32_t i, std::int32_t df2);

} // namespace orvalis::modGeneral
