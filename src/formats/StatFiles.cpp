// SPSS, Stata and SAS files through ReadStat, from the bytes already read: values, labels, missing values, string
// variables as categories.
#include "common/NumberText.h"
#include "common/TextEscape.h"
#include "data/ImportRules.h"
#include "formats/FormatReaders.h"

#include <readstat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <unordered_map>

namespace orvalis {
namespace {

// ReadStat reads through these: the bytes in memory, never the file again.
struct MemoryFile {
    std::string_view bytes;
    std::size_t position = 0;
};

int openMemory(const char*, void*)
{
    return 0;
}

int closeMemory(void*)
{
    return 0;
}

readstat_off_t seekMemory(readstat_off_t offset, readstat_io_flags_t whence, void* context)
{
    auto* file = static_cast<MemoryFile*>(context);
    const auto size = static_cast<readstat_off_t>(file->bytes.size());
    readstat_off_t base = 0;
    if (whence == READSTAT_SEEK_CUR) {
        base = static_cast<readstat_off_t>(file->position);
    } else if (whence == READSTAT_SEEK_END) {
        base = size;
    }
    const readstat_off_t target = base + offset;
    if (target < 0 || target > size) {
        return -1;
    }
    file->position = static_cast<std::size_t>(target);
    return target;
}

ssize_t readMemory(void* buffer, size_t count, void* context)
{
    auto* file = static_cast<MemoryFile*>(context);
    const std::size_t available = file->bytes.size() - file->position;
    const std::size_t n = std::min(count, available);
    std::memcpy(buffer, file->bytes.data() + file->position, n);
    file->position += n;
    return static_cast<ssize_t>(n);
}

readstat_error_t updateMemory(long, readstat_progress_handler, void*, void*)
{
    return READSTAT_OK;
}

// One variable as the file declares it, and its values as they arrive.
struct Column {
    std::string name;
    std::string label;
    std::string valueLabelSet;
    bool text = false;
    bool date = false;
    std::vector<float> values; // numbers, or the text's category codes
    std::unordered_map<std::string, std::int32_t> codes;
    std::vector<std::string> categories;
};

struct Reading {
    std::vector<Column> columns;
    std::map<std::string, std::vector<std::pair<double, std::string>>> labelSets;
    std::int64_t rows = 0;
    std::int64_t maxLines = 0;
    std::optional<ImportFailure> failure;
    std::string error; // ReadStat's own words
};

// A date or time display format of SPSS (DATE11, ADATE10, DATETIME20, TIME8),
// Stata (%td, %tc, %tw) or SAS (DATE9., MMDDYY10., DATETIME20.).
bool isDateFormat(const char* format)
{
    if (format == nullptr) {
        return false;
    }
    std::string upper(format);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper.rfind("%T", 0) == 0 || upper.rfind("%-T", 0) == 0) {
        return true;
    }
    static constexpr const char* Dates[] = {"DATE",  "ADATE",    "EDATE", "SDATE",  "JDATE",  "QYR",    "MOYR",
                                            "WKYR",  "TIME",     "DTIME", "MMDDYY", "DDMMYY", "YYMMDD", "YEAR",
                                            "MONYY", "WEEKDATE", "E8601", "B8601",  "IS8601", "WDAY",   "MONTH"};
    return std::any_of(std::begin(Dates), std::end(Dates),
                       [&](const char* prefix) { return upper.rfind(prefix, 0) == 0; });
}

// Stops the reading with a failure of kind: the file holds what the table cannot.
int refuse(Reading* reading, ImportFailure::Kind kind, std::string message)
{
    ImportFailure failure;
    failure.kind = kind;
    failure.message = std::move(message);
    reading->failure = std::move(failure);
    return READSTAT_HANDLER_ABORT;
}

int tooManyCases(Reading* reading)
{
    return refuse(reading, ImportFailure::Kind::TooManyLines,
                  "The file has more than " + formatInteger(reading->maxLines)
                      + " cases, more than the program can hold.");
}

int tooManyVariables(Reading* reading)
{
    return refuse(reading, ImportFailure::Kind::TooManyFields,
                  "The file has more than " + formatInteger(DataSet::MaxColumn) + " variables; at most "
                      + formatInteger(DataSet::MaxColumn) + " variables can be imported.");
}

int onMetadata(readstat_metadata_t* metadata, void* context)
{
    auto* reading = static_cast<Reading*>(context);
    if (readstat_get_var_count(metadata) > DataSet::MaxColumn) {
        return tooManyVariables(reading);
    }
    if (readstat_get_row_count(metadata) > reading->maxLines) {
        return tooManyCases(reading);
    }
    return READSTAT_HANDLER_OK;
}

int onVariable(int index, readstat_variable_t* variable, const char* valueLabels, void* context)
{
    auto* reading = static_cast<Reading*>(context);
    if (index >= DataSet::MaxColumn) {
        return tooManyVariables(reading);
    }
    Column column;
    const char* name = readstat_variable_get_name(variable);
    const char* label = readstat_variable_get_label(variable);
    column.name = decodeToUtf8(name != nullptr ? name : "");
    column.label = decodeToUtf8(label != nullptr ? label : "");
    column.valueLabelSet = valueLabels != nullptr ? valueLabels : "";
    column.text = readstat_variable_get_type_class(variable) == READSTAT_TYPE_CLASS_STRING;
    column.date = !column.text && isDateFormat(readstat_variable_get_format(variable));
    if (reading->columns.size() <= static_cast<std::size_t>(index)) {
        reading->columns.resize(static_cast<std::size_t>(index) + 1);
    }
    reading->columns[static_cast<std::size_t>(index)] = std::move(column);
    return READSTAT_HANDLER_OK;
}

int onValue(int row, readstat_variable_t* variable, readstat_value_t value, void* context)
{
    auto* reading = static_cast<Reading*>(context);
    const int index = readstat_variable_get_index(variable);
    if (index < 0 || static_cast<std::size_t>(index) >= reading->columns.size() || row < 0) {
        return READSTAT_HANDLER_ABORT;
    }
    if (row >= reading->maxLines) {
        return tooManyCases(reading);
    }
    Column& column = reading->columns[static_cast<std::size_t>(index)];
    reading->rows = std::max<std::int64_t>(reading->rows, row + 1);
    if (column.values.size() <= static_cast<std::size_t>(row)) {
        column.values.resize(static_cast<std::size_t>(row) + 1, MissingValue);
    }
    float& cell = column.values[static_cast<std::size_t>(row)];
    // System-missing, user-missing (SPSS) and extended missing values (Stata .a to .z, SAS .A to .Z).
    if (readstat_value_is_missing(value, variable)) {
        cell = MissingValue;
        return READSTAT_HANDLER_OK;
    }
    if (readstat_value_type(value) == READSTAT_TYPE_STRING || readstat_value_type(value) == READSTAT_TYPE_STRING_REF) {
        const char* text = readstat_string_value(value);
        std::string bytes = text != nullptr ? text : "";
        while (!bytes.empty() && bytes.back() == ' ') {
            bytes.pop_back(); // SPSS pads strings to their width
        }
        if (bytes.empty()) {
            cell = MissingValue;
            return READSTAT_HANDLER_OK;
        }
        const auto [found, added] =
            column.codes.emplace(bytes, static_cast<std::int32_t>(column.categories.size()) + 1);
        if (added) {
            column.categories.push_back(decodeToUtf8(bytes));
        }
        cell = static_cast<float>(found->second);
        return READSTAT_HANDLER_OK;
    }
    const double number = readstat_double_value(value);
    if (std::isnan(number)) {
        cell = MissingValue;
        return READSTAT_HANDLER_OK;
    }
    if (!(std::fabs(number) < 0x1.ffffffp+127)) {
        ImportFailure failure;
        failure.kind = ImportFailure::Kind::OutOfRange;
        failure.row = row + 1;
        failure.column = index + 1;
        reading->failure = std::move(failure);
        return READSTAT_HANDLER_ABORT;
    }
    cell = static_cast<float>(number);
    return READSTAT_HANDLER_OK;
}

int onValueLabel(const char* set, readstat_value_t value, const char* label, void* context)
{
    auto* reading = static_cast<Reading*>(context);
    const readstat_type_t type = readstat_value_type(value);
    if (set == nullptr || label == nullptr || type == READSTAT_TYPE_STRING || type == READSTAT_TYPE_STRING_REF
        || readstat_value_is_tagged_missing(value) || readstat_value_is_system_missing(value)) {
        return READSTAT_HANDLER_OK;
    }
    reading->labelSets[set].emplace_back(readstat_double_value(value), decodeToUtf8(label));
    return READSTAT_HANDLER_OK;
}

void onError(const char* message, void* context)
{
    auto* reading = static_cast<Reading*>(context);
    if (message != nullptr && reading->error.empty()) {
        reading->error = message;
        while (!reading->error.empty() && (reading->error.back() == '\n' || reading->error.back() == ' ')) {
            reading->error.pop_back();
        }
    }
}

const char* formatWord(FileFormat format)
{
    switch (format) {
    case FileFormat::SpssSystem:
        return "an SPSS data file";
    case FileFormat::SpssPortable:
        return "an SPSS portable file";
    case FileFormat::Stata:
        return "a Stata data file";
    case FileFormat::Sas:
        return "a SAS data set";
    case FileFormat::SasTransport:
        return "a SAS transport file";
    case FileFormat::Xlsx:
    case FileFormat::Ods:
    case FileFormat::DelimitedText:
        break;
    }
    return "";
}

// ReadStat's reader of a format; none for a format ReadStat does not read.
// Every format is named, so that a new one cannot fall to another's reader.
using StatParser = readstat_error_t (*)(readstat_parser_t*, const char*, void*);
StatParser statParser(FileFormat format)
{
    switch (format) {
    case FileFormat::SpssSystem:
        return readstat_parse_sav;
    case FileFormat::SpssPortable:
        return readstat_parse_por;
    case FileFormat::Stata:
        return readstat_parse_dta;
    case FileFormat::Sas:
        return readstat_parse_sas7bdat;
    case FileFormat::SasTransport:
        return readstat_parse_xport;
    case FileFormat::Xlsx:
    case FileFormat::Ods:
    case FileFormat::DelimitedText:
        break;
    }
    return nullptr;
}

} // namespace

ImportOutcome importStatFile(std::string_view bytes, FileFormat format, const ImportOptions& options)
{
    const StatParser parse = statParser(format);
    if (parse == nullptr) {
        return fileFailure("This is not a file of SPSS, Stata or SAS.");
    }
    Reading reading;
    reading.maxLines = options.maxLines;
    MemoryFile file{bytes, 0};
    readstat_parser_t* parser = readstat_parser_init();
    if (parser == nullptr) {
        return fileFailure("There is not enough memory to read the file.");
    }
    readstat_set_open_handler(parser, openMemory);
    readstat_set_close_handler(parser, closeMemory);
    readstat_set_seek_handler(parser, seekMemory);
    readstat_set_read_handler(parser, readMemory);
    readstat_set_update_handler(parser, updateMemory);
    readstat_set_io_ctx(parser, &file);
    readstat_set_metadata_handler(parser, onMetadata);
    readstat_set_variable_handler(parser, onVariable);
    readstat_set_value_handler(parser, onValue);
    readstat_set_value_label_handler(parser, onValueLabel);
    readstat_set_error_handler(parser, onError);
    // Every text as UTF-8, whatever the file's own encoding.
    readstat_set_handler_character_encoding(parser, "UTF-8");

    const readstat_error_t error = parse(parser, "", &reading);
    readstat_parser_free(parser);

    if (reading.failure) {
        return failedImport(std::move(*reading.failure));
    }
    if (error != READSTAT_OK) {
        std::string reason = readstat_error_message(error);
        if (!reading.error.empty()) {
            reason += " (" + reading.error + ")";
        }
        return fileFailure(std::string("The file could not be read as ") + formatWord(format) + ": "
                           + escapeControlCharacters(reason) + ".");
    }

    const auto numVariables = static_cast<std::int32_t>(reading.columns.size());
    ImportOutcome outcome = allocateTable(reading.rows, numVariables, options, false);
    if (!outcome.ok()) {
        return outcome;
    }
    DataSet& dataSet = *outcome;
    std::vector<std::string> names(1);
    for (std::int32_t v = 1; v <= numVariables; ++v) {
        const Column& column = reading.columns[static_cast<std::size_t>(v) - 1];
        for (std::int64_t r = 1; r <= reading.rows; ++r) {
            const auto index = static_cast<std::size_t>(r) - 1;
            dataSet.rowData(static_cast<std::int32_t>(r))[v] =
                index < column.values.size() ? column.values[index] : MissingValue;
        }
        names.push_back(column.name);
        if (!column.label.empty()) {
            dataSet.setVariableLabel(v, column.label);
        }
        if (column.text && !column.categories.empty()) {
            dataSet.setCategories(v, column.categories);
        }
        if (!column.text) {
            if (const auto set = reading.labelSets.find(column.valueLabelSet); set != reading.labelSets.end()) {
                std::vector<std::pair<float, std::string>> labels;
                for (const auto& [value, label] : set->second) {
                    labels.emplace_back(static_cast<float>(value), label);
                }
                dataSet.setValueLabels(v, std::move(labels));
            }
        }
        if (column.date) {
            dataSet.addImportNote(variableNumber(v) + " (" + column.name
                                  + "): dates or times, read as the numbers the file stores");
        }
    }
    dataSet.setNumVariables(numVariables);
    if (numVariables > 0) {
        dataSet.setVariableNames(std::move(names));
    }
    return outcome;
}

} // namespace orvalis
