// modGeneral: each step written out with its precision; every rounding to single is a toSingle() call.
#include "stats/modGeneral.h"

#include "common/CheckedMath.h"
#include "common/RuntimeErrors.h"
#include "stats/FCriticalTables.h"

namespace orvalis::modGeneral {
namespace {

using checked::divide;
using checked::power;
using checked::step;
using checked::toSingle;

// The cut-off of NormalProb, held in single precision.
constexpr float CutOff = 14.14f;
// 1/sqrt(2), held in double precision.
constexpr double InverseRootTwo = 0.7071067812;
// The coefficients of the erfc approximation, held in single precision.
constexpr float C1 = 0.070523076f;
constexpr float C2 = 0.04228201f;
constexpr float C3 = 0.009270527f;
constexpr float C4 = 0.0001520143f;
constexpr float C5 = 0.0002765672f;
constexpr float C6 = 0.0000430638f;

// The correction g(u) of FProb; u = 0 gives 1 and u = 1 gives 0.
float correction(float u)
{
    if (u == 0.0f) {
        return 1.0f;
    }
    if (u == 1.0f) {
        return 0.0f;
    }
    const double ud = u;
    const double first = step(1.0 - power(ud, 2.0) + step(2.0 * ud * checked::logarithm(ud)));
    return toSingle(step(first * power(1.0 - ud, -2.0)));
}

float lookup(const float (&table)[5][201], std::int32_t i, std::int32_t df2)
{
    checkSubscript(i, 0, 4, "numerator degrees of freedom");
    if (df2 > 200) {
        return table[i][200];
    }
    checkSubscript(df2, 0, 200, "denominator degrees of freedom");
    return table[i][df2];
}

} // namespace

float NormalProb(double x, double mean, double sd)
{
    const float z = toSingle(divide(step(x - mean), sd));
    const float a = z < 0.0f ? -z : z;
    float t = 10.0f;
    if (!(a > CutOff)) {
        t = toSingle(static_cast<double>(a) * InverseRootTwo);
    }
    const double td = t;
    double s = 1.0;
    s = step(s + static_cast<double>(C1) * power(td, 1.0));
    s = step(s + static_cast<double>(C2) * power(td, 2.0));
    s = step(s + static_cast<double>(C3) * power(td, 3.0));
    s = step(s + static_cast<double>(C4) * power(td, 4.0));
    s = step(s + static_cast<double>(C5) * power(td, 5.0));
    s = step(s + static_cast<double>(C6) * power(td, 6.0));
    const float p = toSingle(0.5 * power(s, -16.0));
    if (z > 0.0f) {
        return p;
    }
    return toSingle(1.0 - static_cast<double>(p));
}

float FProb(float F, std::int32_t df1, std::int32_t df2)
{
    const double d1 = df1;
    const double d2 = df2;
    const std::int32_t sum = checked::add(df1, df2);
    const double dsum = sum;

    // x and y: where F falls on the beta scale, and its complement.
    const float x = toSingle(divide(d2, step(step(static_cast<double>(F) * d1) + d2)));
    const float y = toSingle(1.0 - static_cast<double>(x));
    const double xd = x;
    const double yd = y;

    // S, T and n: the halved degrees of freedom of the approximation.
    const float S = toSingle(static_cast<double>(checked::subtract(df2, 1)) / 2.0);
    const float T = toSingle(static_cast<double>(checked::subtract(df1, 1)) / 2.0);
    const float n = toSingle(dsum / 2.0 - 1.0);
    const double Sd = S;
    const double Td = T;
    const double nd = n;

    // d: the approximation's location term.
    const double inner = step(step(divide(yd, d2) - divide(xd, d1)) + divide(yd - 0.5, dsum));
    const double outer = step(step(1.0 / 6.0 + Sd) - step((1.0 / 3.0 + nd) * xd));
    const float d = toSingle(step(0.04 * inner) + outer);

    // The two correction terms.
    const float u1 = toSingle(divide(Sd, step(xd * nd)));
    const float u2 = toSingle(divide(Td, step(yd * nd)));
    const double g1 = correction(u1);
    const double g2 = correction(u2);

    // w: the approximation's variance term.
    const double numerator = step(step(yd * g1 + 1.0) + xd * g2);
    const double denominator = step(step((1.0 / 6.0 + nd) * xd) * yd);
    const double w = divide(numerator, denominator);

    // z, and its upper normal tail as the F tail.
    const float z = toSingle(static_cast<double>(d) * checked::squareRoot(w));
    return NormalProb(z, 0, 1);
}

float FCritical10(std::int32_t i, std::int32_t df2)
{
    return lookup(tables::FCritical10Table, i, df2);
}

float FCritical05(std::int32_t i, std::int32_t df2)
{
    return lookup(tables::FCritical05Table, i, df2);
}

float FCritical01(std::int32_t i, std::int32_t df2)
{
    return lookup(tables::FCritical01Table, i, df2);
}

} // namespace orvalis::modGeneral
