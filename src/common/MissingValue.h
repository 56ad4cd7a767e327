// The missing-value code: the one number that marks an absent value in the data table and in the reports.
#pragma once

namespace orvalis {

// A data cell that equals this exactly is missing (so a data value that rounds
// to it in single precision reads as missing too). The reports write it where a
// value is absent and the text has no other form for it (the F line of a
// sample whose R^2 is undefined), and the bootstrap dialog's single-choice
// lists hold it when nothing is checked.
inline constexpr float MissingValue = 9999999.0f;

inline constexpr bool isMissing(float value)
{
    return value == MissingValue;
}

} // namespace orvalis
