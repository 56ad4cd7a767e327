// The record of a run: what a reader needs to re-run it digit for digit, how precise its limits are, and whether
// its sample is large enough for the modified interval.
#pragma once

#include "analyses/BootstrapResult.h"
#include "common/FileHash.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace orvalis {

// Where the data came from, as orvalis-cli would be told: the path, the
// delimiter's word (none: a file that is not delimited text, or the default
// space on the command line) and the sheet of a workbook (empty: the first).
struct DataSource {
    std::string path;
    std::optional<std::string> delimiter;
    std::string sheet;
};

// Whether the Monte Carlo error of the limits is large against the interval:
// the larger of the two errors above a fortieth of the traditional interval's
// width. The advisable trials bring it below that (the error falls with the
// square root of the trials), rounded up to 2,000, 5,000, 10,000, 20,000,
// 50,000 or at most 100,000.
struct PrecisionAdvice {
    bool large = false;
    double error = 0.0; // the larger of the two limits' errors
    std::int32_t advisableTrials = 0;
};
PrecisionAdvice assessPrecision(const BootstrapResult& result);

// Algina, Keselman and Penfield (2008): the modified percentile interval's
// coverage stays within [.925, .975] for .01 <= delta rho^2 <= .04 with at
// least 50 cases for at most 4 predictors in the full model, 150 for 5 or 6,
// and 200 (better 250) for 7 to 9. below: the run's complete cases are fewer
// than that for its model; none for 10 or more predictors, which the study
// did not cover.
struct SampleSizeGuidance {
    bool below = false;
    std::int32_t needed = 0;
    std::int32_t better = 0; // 250 for 7 to 9 predictors; otherwise needed
};
std::optional<SampleSizeGuidance> sampleSizeGuidance(const BootstrapResult& result);

struct RunRecord {
    std::string program;  // "Orvalis 1.0.0"
    std::string dataFile; // the path, as the user gave it
    std::optional<FileFingerprint> fingerprint;
    std::string fingerprintProblem; // why there is no fingerprint
    std::string date;               // "2026-12-08 23:59:07 UTC"
    std::string commandLine;
    PrecisionAdvice precision;
    std::optional<SampleSizeGuidance> sampleSize;
};

// The record of result, run on source's data. fingerprint: the data file's
// size and SHA-256 (or why they could not be had); options: what the command
// line adds after the seed to print the same blocks (" --details --record").
RunRecord makeRunRecord(const BootstrapResult& result, const DataSource& source,
                        const Outcome<FileFingerprint>& fingerprint, std::chrono::system_clock::time_point when,
                        const std::string& options);

// The orvalis-cli command line that repeats the run: variables by number,
// the path quoted for a POSIX shell where it needs it.
std::string equivalentCommandLine(const BootstrapRequest& request, std::uint64_t seed, const DataSource& source,
                                  const std::string& options);

// "2026-12-08 23:59:07 UTC".
std::string utcTimestamp(std::chrono::system_clock::time_point when);

// The block "Record of the Run": program, data file with its size and
// SHA-256, cases, seed, trials and level, the statement that the result is
// the same on any number of threads, the date, the command line, the Monte
// Carlo errors of the limits with a note when they are large, and a note
// when the sample is smaller than the modified interval needs. Lines end in
// CR LF, then three empty lines.
std::string FormatRunRecord(const BootstrapResult& result, const RunRecord& record);

} // namespace orvalis
