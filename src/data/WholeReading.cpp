// The whole reading: the fast reading, the hand-over to the record reader, the explanation of an invalid entry, and
// the detection of the delimiter.
#include "data/WholeReading.h"

#include "common/NumberText.h"
#include "common/TextEscape.h"
#include "data/DelimitedRecords.h"
#include "data/FastReading.h"
#include "data/ImportRules.h"

#include <optional>
#include <string>
#include <vector>

namespace orvalis {
namespace {

// The second line of an invalid-entry message: the entry, quoted and cut to
// 40 characters, and the likely cause when the file shows one. Another
// delimiter that reads the file is recorded in failure for the front end.
std::string explainEntry(std::string_view content, Delimiter delimiter, ImportFailure& failure, bool namesLine,
                         const ImportOptions& options)
{
    // Cut by characters, never inside one, so that the message stays valid UTF-8.
    std::string entry = escapeControlCharacters(failure.entry);
    if (std::string cut = cutToCharacters(entry, 40); cut.size() < entry.size()) {
        entry = std::move(cut) + "...";
    }
    std::string text = "The entry is \"" + entry + "\".";

    // Another delimiter that reads the file, into more than one variable:
    // judged on its first megabyte of whole lines, so that a large file is
    // not read again in full for a hint. Numbers only first, as the fast
    // reading takes them; then with text columns, when that gives a numeric
    // variable too.
    const std::string_view sample = leadingLines(content, HintSample);
    for (const bool general : {false, true}) {
        for (const DelimiterInfo& other : delimiterTable()) {
            if (other.id == delimiter || other.id == Delimiter::Detect) {
                continue;
            }
            const ImportOutcome again = importContent(sample, other.id, options, {false, general});
            if (again.ok() && again->NumVariables() > 1) {
                failure.likelyDelimiter = other.id;
                return text;
            }
        }
    }
    // A first line of names with a number among them.
    if (failure.row == 1 && !namesLine) {
        const std::string line = decodeToUtf8(firstLine(content).text);
        const std::vector<std::string_view> fields = splitFields(line, delimiter);
        int names = 0;
        int numbers = 0;
        std::size_t firstNumber = 0;
        for (std::size_t k = 0; k < fields.size(); ++k) {
            const FieldRole role = roleOf(fields[k]);
            names += role == FieldRole::Name ? 1 : 0;
            if (role == FieldRole::Number && numbers++ == 0) {
                firstNumber = k;
            }
        }
        if (numbers > 0 && names > numbers) {
            return text + " The first line looks like a line of variable names, but field "
                   + formatInteger(static_cast<std::int64_t>(firstNumber) + 1) + " (\""
                   + escapeControlCharacters(unquoted(fields[firstNumber])) + "\") is a number.";
        }
    }
    // A missing-value marker of another program.
    const std::string bare = unquoted(failure.entry);
    if (isOtherProgramsMarker(bare)) {
        return text + " \"" + bare + "\" is not a missing-value marker here: write \".\", \"NA\" or nothing instead.";
    }
    return text;
}

// Whether a table read by the record reader has a variable an analysis can
// use: a file that reads as text columns only is more likely read with the
// wrong delimiter ("1,2,3" as one text entry) than meant that way.
bool hasNumericVariable(const DataSet& dataSet)
{
    for (std::int32_t v = 1; v <= dataSet.NumVariables(); ++v) {
        if (!dataSet.isCategorical(v)) {
            return true;
        }
    }
    return false;
}

} // namespace

ImportOutcome importContent(std::string_view content, Delimiter delimiter, const ImportOptions& options,
                            ImportMode mode)
{
    // A first line of names: the data, case 1 included, start on the next line.
    const FirstLine first = firstLine(content);
    std::optional<std::vector<std::string>> names = namesOf(first.text, delimiter);
    bool numberAbove = false;
    ImportOutcome outcome = importTable(names ? content.substr(first.next) : content, delimiter, options, &numberAbove);
    if (outcome.ok()) {
        // R's numeric row names in quotes read as numbers here; the record
        // reader takes them as case labels.
        if (mode.general && mayHoldRowNames(names, content.substr(first.next), delimiter)) {
            ImportOutcome records = importRecords(content, delimiter, options);
            if (records.ok() && records->hasCaseLabels() && hasNumericVariable(*records)) {
                return records;
            }
        }
        if (names) {
            outcome->setVariableNames(std::move(*names));
        }
        return outcome;
    }
    ImportFailure failure = outcome.refusal();
    // R's row names in quotes are labels whatever they hold ("1", "b", "1e99").
    const bool rowNames = mayHoldRowNames(names, content.substr(first.next), delimiter);
    if (failure.kind != ImportFailure::Kind::InvalidEntry
        && !(rowNames && failure.kind == ImportFailure::Kind::OutOfRange)) {
        return failure;
    }
    // Quoted line breaks, case labels and text columns: the record reader
    // reads the file again, and its reading of a failure is the one that
    // counts (a text column is no longer one).
    // An entry without a letter or a quote is no text and no quoting, and a
    // column with a number above its first text mixes the two: the record
    // reader would refuse either just so, and need not read the file again.
    const bool couldBeText =
        rowNames
        || (!numberAbove && (hasLetter(decodeToUtf8(failure.entry)) || failure.entry.find('"') != std::string::npos));
    if (mode.general && couldBeText) {
        ImportOutcome records = importRecords(content, delimiter, options);
        if (records.ok() && hasNumericVariable(*records)) {
            return records;
        }
        if (!records.ok()) {
            failure = records.refusal();
        }
    }
    if (mode.explain && failure.kind == ImportFailure::Kind::InvalidEntry) {
        // Two appends: GCC 12 warns falsely (-Wrestrict) of "\n" + a returned string once it is inlined here.
        const std::string explanation = explainEntry(content, delimiter, failure, names.has_value(), options);
        failure.message += '\n';
        failure.message += explanation;
    }
    return failure;
}

Delimiter detectDelimiter(std::string_view content, const ImportOptions& options)
{
    const std::string_view sample = leadingLines(content, std::size_t{1} << 20);
    for (const DelimiterInfo& candidate : delimitersToTry()) {
        if (splitsEvenly(sample, candidate.id) && importContent(sample, candidate.id, options, {false, true}).ok()) {
            return candidate.id;
        }
    }
    return Delimiter::Space;
}

} // namespace orvalis
