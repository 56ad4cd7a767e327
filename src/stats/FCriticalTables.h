// The three critical F tables, generated at build time (tools/make_fcritical.cpp).
#pragma once

namespace orvalis::modGeneral::tables {

// Cells [i][df2], i = 0..4 numerator and df2 = 0..200 denominator degrees of
// freedom: the upper-tail F quantile rounded to five decimals, held as the
// nearest float; row 0 and column 0 hold 0.
extern const float FCritical10Table[5][201]; // upper 10%, with its one exception
extern const float FCritical05Table[5][201]; // upper 5%, with its four exceptions
extern const float FCritical01Table[5][201]; // upper 1%, no exceptions

} // namespace orvalis::modGeneral::tables
