// The record of a run: what a reader needs to re-run it digit for digit, how precise its limits are, and whether
// its sample is large enough for the modified interval.
#pragma once

#include "analyses/BootstrapResult.h"
#include "analyses/Hierarchical.h"
#include "common/FileHash.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <map>
#include <string>
#include <vector>

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
    std::string fileRole = "Data file"; // what the file was to the run ("Correlation file" for a plan's matrix)
    std::string dataFile;               // the path, as the user gave it; empty: the run read no file
    std::optional<FileFingerprint> fingerprint;
    std::string fingerprintProblem; // why there is no fingerprint
    std::string date;               // "2026-12-08 23:59:07 UTC"
    std::string commandLine;
    PrecisionAdvice precision;                    // the bootstrap's only
    std::optional<SampleSizeGuidance> sampleSize; // the bootstrap's only
};

// The record any run has: the program, the file (none when source.path is
// empty) with its fingerprint (or why there is none), the date and the
// command line that repeats the run.
RunRecord makeRunRecord(const DataSource& source, const Outcome<FileFingerprint>& fingerprint,
                        std::chrono::system_clock::time_point when, const std::string& commandLine);

// The record of result, run on source's data. fingerprint: the data file's
// size and SHA-256 (or why they could not be had); options: what the command
// line adds after the seed to print the same blocks (" --details --record").
RunRecord makeRunRecord(const BootstrapResult& result, const DataSource& source,
                        const Outcome<FileFingerprint>& fingerprint, std::chrono::system_clock::time_point when,
                        const std::string& options);

// The orvalis-cli command line that repeats the run: variables by number,
// the path quoted for a POSIX shell where it needs it; the variables declared
// categorical, and a reference category by its label in categories (the
// result's) or by its number.
std::string equivalentCommandLine(const BootstrapRequest& request, std::uint64_t seed, const DataSource& source,
                                  const std::string& options,
                                  const std::map<std::int32_t, std::vector<std::string>>& categories = {});

// The same for a hierarchical run: each step's variables by number, a
// reference category by its label (by its number when it has none).
std::string equivalentCommandLine(const HierarchicalResult& result, const DataSource& source,
                                  const std::string& options);

// A word a POSIX shell reads back as itself: quoted unless it holds only
// characters that need no quoting. Control characters are escaped first, so
// the word shows on one line.
std::string shellWord(const std::string& word);

// "2026-12-08 23:59:07 UTC".
std::string utcTimestamp(std::chrono::system_clock::time_point when);

// What a record says of the run itself, where the run has it.
struct RunFacts {
    std::optional<std::int32_t> casesRead; // none: the run read no cases
    std::int32_t completeCases = 0;
    std::optional<std::uint64_t> seed; // none: nothing random in the run
    std::int32_t trials = 0;
    std::int32_t levelPercent = 0;
    std::optional<std::int32_t> dataSets; // a width plan's data sets per sample size
};

// The block "Record of the Run": program, the file with its size and SHA-256
// ("SHA-256: changed since import" with the size imported when the file is
// no longer the one imported; "undefined" and the reason when there is no
// fingerprint), the cases, seed, trials and level, the statement that the
// result is the same on any number of threads, the date, the command line,
// then the lines given (each a line of its own). Lines end in CR LF, then
// three empty lines.
std::string FormatRunRecord(const RunRecord& record, const RunFacts& facts,
                            const std::vector<std::string>& moreLines = {});

// The bootstrap's block: the above, then the Monte Carlo errors of the
// limits with a note when they are large, and a note when the sample is
// smaller than the modified interval needs.
std::string FormatRunRecord(const BootstrapResult& result, const RunRecord& record);

// The hierarchical run's block: the common lines, with the cases and seed of the run.
std::string FormatRunRecord(const HierarchicalResult& result, const RunRecord& record);

} // namespace orvalis
