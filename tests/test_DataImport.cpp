// The import: line ends, fields, the table's cells and counts, failures and their messages, files.
#include "common/RuntimeErrors.h"
#include "data/DataImport.h"
#include "data/FieldParser.h"
#include "data/FileContent.h"
#include "TempDir.h"
#include "common/NumberText.h"
#include "common/TextEscape.h"

#include <gtest/gtest.h>

#include <cstring>

#include <cmath>
#include <cstdlib>
#include <random>
#include <regex>
#include <stdexcept>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <future>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

namespace orvalis {
namespace {

constexpr float M = MissingValue;

DataSet importOk(std::string_view content, char delimiter = ' ', unsigned threads = 1)
{
    ImportOptions options;
    options.threads = threads;
    ImportOutcome outcome = importDataBuffer(content, delimiterWithByte(delimiter), options);
    EXPECT_TRUE(outcome.ok()) << outcome.refusal().message;
    return outcome.ok() ? std::move(*outcome) : DataSet();
}

ImportFailure importFails(std::string_view content, char delimiter = ' ', unsigned threads = 1)
{
    ImportOptions options;
    options.threads = threads;
    ImportOutcome outcome = importDataBuffer(content, delimiterWithByte(delimiter), options);
    EXPECT_FALSE(outcome.ok());
    return outcome.refusal();
}

// Rows 1..NumCases of columns 1..NumVariables.
std::vector<std::vector<float>> cells(const DataSet& dataSet)
{
    std::vector<std::vector<float>> rows;
    for (std::int32_t r = 1; r <= dataSet.NumCases(); ++r) {
        std::vector<float> row;
        for (std::int32_t c = 1; c <= dataSet.NumVariables(); ++c) {
            row.push_back(dataSet.DataTable(r, c));
        }
        rows.push_back(row);
    }
    return rows;
}

using Rows = std::vector<std::vector<float>>;

TEST(DataImport, TableShapesAndCells)
{
    struct Case {
        const char* name;
        std::string content;
        char delimiter;
        Rows expected;
    };
    const Case cases[] = {
        {"short line: the cells it lacks are missing", "1 2 3\r\n4 5\r\n", ' ', {{1, 2, 3}, {4, 5, M}}},
        {"trailing delimiter adds a missing field", "1,2,\r\n", ',', {{1, 2, M}}},
        {"leading blank is a missing first field", " 1 2", ' ', {{M, 1, 2}}},
        {"two blanks enclose a missing field", "1  2", ' ', {{1, M, 2}}},
        {"blank field in comma file is missing", "1, ,3", ',', {{1, M, 3}}},
        {"1,000 is two numbers when comma delimited", "1,000", ',', {{1, 0}}},
        {"number forms", ".5,5.,+5,1e3, 7 ", ',', {{0.5f, 5, 5, 1000, 7}}},
        {"9999999 reads as missing", "9999999 1", ' ', {{M, 1}}},
        {"tab delimited", "1\t\t3\n", '\t', {{1, M, 3}}},
        {"blank line is a case of missing values", "1 2\r\n\r\n3 4\r\n", ' ', {{1, 2}, {M, M}, {3, 4}}},
        {"blank last line", "1\r\n\r\n", ' ', {{1}, {M}}},
        {"CR alone ends a line", "1\r2\r3", ' ', {{1}, {2}, {3}}},
        {"LF alone ends a line", "1\n2\n", ' ', {{1}, {2}}},
        {"LF then CR are two line ends", "1\n\r2", ' ', {{1}, {M}, {2}}},
        {"CR CR LF", "1\r\r\n2", ' ', {{1}, {M}, {2}}},
        {"no line end after the last line", "1 2\n3", ' ', {{1, 2}, {3, M}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DataSet dataSet = importOk(c.content, c.delimiter);
        EXPECT_EQ(cells(dataSet), c.expected);
    }
}

TEST(DataImport, CountsOfEmptyAndBlankFiles)
{
    const DataSet empty = importOk("");
    EXPECT_TRUE(empty.hasStorage());
    EXPECT_EQ(empty.NumCases(), 0);
    EXPECT_EQ(empty.NumVariables(), 0);
    EXPECT_THROW(empty.DataTable(1, 1), SubscriptError);

    const DataSet blanks = importOk("\r\n\n\r");
    EXPECT_EQ(blanks.NumCases(), 3);
    EXPECT_EQ(blanks.NumVariables(), 0);
    EXPECT_EQ(blanks.DataTable(3, 1), M);
}

TEST(DataImport, CellAccessBeyondStoredColumnsReadsMissing)
{
    const DataSet dataSet = importOk("1 2\n");
    EXPECT_EQ(dataSet.storedColumns(), 3);
    EXPECT_EQ(dataSet.DataTable(1, 2), 2.0f);
    EXPECT_EQ(dataSet.DataTable(1, 3), M);
    EXPECT_EQ(dataSet.DataTable(1, 1000), M);
    EXPECT_EQ(dataSet.DataTable(0, 0), 0.0f);
    EXPECT_THROW(dataSet.DataTable(1, 1001), SubscriptError);
    EXPECT_THROW(dataSet.DataTable(2, 1), SubscriptError);
    EXPECT_THROW(dataSet.DataTable(-1, 1), SubscriptError);
    EXPECT_THROW(DataSet().DataTable(0, 0), SubscriptError);
}

TEST(DataImport, FailuresAndTheirMessages)
{
    struct Case {
        const char* name;
        std::string content;
        char delimiter;
        ImportFailure::Kind kind;
        std::string message;
    };
    const std::string thousandOne = std::string(1000, ',') + "\n";
    const Case cases[] = {
        {"invalid entry at line 5 field 3", "1 2 3\n1 2 3\n1 2 3\n1 2 3\n1 2 x\n1 2 3\n", ' ',
         ImportFailure::Kind::InvalidEntry, "Row 5 of Column 3 has an invalid entry for analysis."},
        {"1,000 is invalid when space delimited", "1,000", ' ', ImportFailure::Kind::InvalidEntry,
         "Row 1 of Column 1 has an invalid entry for analysis."},
        {"two blanks in a comma file", "1,  ,3", ',', ImportFailure::Kind::InvalidEntry,
         "Row 1 of Column 2 has an invalid entry for analysis."},
        {"NUL byte", std::string("1 \0 3", 5), ' ', ImportFailure::Kind::InvalidEntry,
         "Row 1 of Column 2 has an invalid entry for analysis."},
        {"non-ASCII bytes", "1\n\xe9t\xe9", ' ', ImportFailure::Kind::InvalidEntry,
         "Row 2 of Column 1 has an invalid entry for analysis."},
        {"beyond single precision", "1 1e39", ' ', ImportFailure::Kind::OutOfRange,
         "Row 1 of Column 2 holds a number beyond the single-precision range (about 3.4E+38)."},
        {"1001 fields", "1\n" + thousandOne, ',', ImportFailure::Kind::TooManyFields,
         "Row 2 has more than 1000 fields; at most 1000 variables can be imported."},
        {"an invalid field before field 1001 comes first", "1,?" + thousandOne, ',', ImportFailure::Kind::InvalidEntry,
         "Row 1 of Column 2 has an invalid entry for analysis."},
        {"1001 fields on an earlier line than the invalid field", thousandOne + "x\n", ',',
         ImportFailure::Kind::TooManyFields,
         "Row 1 has more than 1000 fields; at most 1000 variables can be imported."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (unsigned threads : {1u, 2u, 3u}) {
            const ImportFailure failure = importFails(c.content, c.delimiter, threads);
            EXPECT_EQ(failure.kind, c.kind);
            // The first line of the message; the second is the explanation's.
            EXPECT_EQ(failure.message.substr(0, failure.message.find('\n')), c.message);
        }
    }
}

// Files as spreadsheets and other programs write them: a first line of names
// (data from the next line on, numbered from 1), and "NA" for a missing value.
TEST(DataImport, NamesLineAndNA)
{
    struct Case {
        const char* name;
        std::string content;
        char delimiter;
        std::vector<std::string> names; // index 0 unused; empty: no names line
        Rows expected;
    };
    const Case cases[] = {
        {"all names", "height weight\n1.5 60\n1.7 NA\n", ' ', {"", "height", "weight"}, {{1.5f, 60}, {1.7f, M}}},
        {"quoted names, CR LF", "\"age\",\"score\"\r\n30,NA\r\n", ',', {"", "age", "score"}, {{30, M}}},
        {"an empty name in a comma file",
         ",Fertility,Agriculture\n1,80.2,17\n",
         ',',
         {"", "", "Fertility", "Agriculture"},
         {{1, 80.2f, 17}}},
        {"fewer names than variables", "a\tb\n1\t2\t3\n", '\t', {"", "a", "b"}, {{1, 2, 3}}},
        {"more names than variables", "a b c\n1 2\n", ' ', {"", "a", "b", "c"}, {{1, 2}}},
        {"duplicate names", "x x\n1 2\n", ' ', {"", "x", "x"}, {{1, 2}}},
        {"names only, no data", "a b\n", ' ', {"", "a", "b"}, {}},
        {"NA in a tab file, no names line", "NA\t2\n3\tNA\n", '\t', {}, {{M, 2}, {3, M}}},
        {"a first line of markers is data", "NA .\n1 2\n", ' ', {}, {{M, M}, {1, 2}}},
        // R's write.csv: a delimiter inside quotes is part of the name, so
        // every later name stays on its own column; a doubled quote is a quote.
        {"a quoted comma",
         "\"y\",\"Income, annual\",\"c\",\"d\"\n1,2,3,4\n",
         ',',
         {"", "y", "Income, annual", "c", "d"},
         {{1, 2, 3, 4}}},
        {"a doubled quote", "\"say \"\"hi\"\"\",b\n1,2\n", ',', {"", "say \"hi\"", "b"}, {{1, 2}}},
        {"a quote inside a blank-delimited name", "5\"ft wide\n1 2\n", ' ', {"", "5\"ft", "wide"}, {{1, 2}}},
        // Decoded once: UTF-8 as it is, anything else as Windows-1252.
        {"Latin-1 names", "caf\xe9 na\xefve\n1 2\n", ' ', {"", "caf\u00e9", "na\u00efve"}, {{1, 2}}},
        {"Windows-1252 quotes", "\x93q\x94 b\n1 2\n", ' ', {"", "\u201cq\u201d", "b"}, {{1, 2}}},
        {"a Greek name", "\u03b1\u03b2 x\n1 2\n", ' ', {"", "\u03b1\u03b2", "x"}, {{1, 2}}},
        // Each name decoded on its own: a line with both encodings keeps both names.
        {"names in both encodings", "caf\xe9 na\xc3\xafve\n1 2\n", ' ', {"", "caf\u00e9", "na\u00efve"}, {{1, 2}}},
        {"names in both encodings over text",
         "caf\xe9,na\xc3\xafve\na,2\n",
         ',',
         {"", "caf\u00e9", "na\u00efve"},
         {{1, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DataSet dataSet = importOk(c.content, c.delimiter);
        EXPECT_EQ(dataSet.VariableNames(), c.names);
        EXPECT_EQ(cells(dataSet), c.expected);
    }
    EXPECT_EQ(importOk("caf\xe9 na\xc3\xafve\n1 2\n").variablesNamed("na\u00efve"), std::vector<std::int32_t>({2}));
    const DataSet named = importOk("\"\",b\n1,2\n", ',');
    EXPECT_EQ(named.VariableName(1), "");
    EXPECT_EQ(named.VariableName(2), "b");
    EXPECT_EQ(named.VariableName(3), "");
    EXPECT_EQ(named.variablesNamed("b"), std::vector<std::int32_t>({2}));
    EXPECT_TRUE(named.variablesNamed("").empty()); // an empty name never matches
    EXPECT_EQ(FormatImportSummary("f.dat", named), "Opened the text file: f.dat\r\nNumber of Cases: 1\r\n"
                                                   "Number of Variables: 2\r\n"
                                                   "The first line was read as variable names: (none), b\r\n\r\n\r\n");
    // A data line keeps today's rule, even with text in it; row numbers after a
    // names line are case numbers.
    EXPECT_EQ(importFails("Study 3 data\n1 2 3\n").row, 1);
    EXPECT_EQ(importFails("a b\n1 2\n3 x\n").row, 2);
    // A first line without a letter is data, so case 1 never disappears: a
    // no-break space, full-width digits or a second byte-order mark are not letters.
    for (const char* notALetter : {"12\xc2\xa0\n3\n4\n", "\xef\xbc\x91\xef\xbc\x92\n3\n",
                                   "\xef\xbb\xbf\xef\xbb\xbf"
                                   "12\n3\n",
                                   "12\xa0\n3\n"}) {
        SCOPED_TRACE(notALetter);
        const ImportFailure failure = importFails(notALetter);
        EXPECT_EQ(failure.row, 1);
        EXPECT_EQ(failure.column, 1);
    }
    // A quoted data field is one field: the entry and its column are the whole field's.
    const ImportFailure quoted = importFails("1,\"2,5\",3\n", ',');
    EXPECT_EQ(quoted.column, 2);
    EXPECT_EQ(quoted.entry, "\"2,5\"");
}

// An invalid entry's message keeps its first line and adds the entry and,
// where the file shows it, the likely cause. Another delimiter that reads the
// file is a fact each front end words (here as the window does).
TEST(DataImport, InvalidEntriesAreExplained)
{
    const std::string first = "Row 1 of Column 1 has an invalid entry for analysis.\n";
    struct Case {
        const char* name;
        std::string content;
        char delimiter;
        std::string message;
    };
    const Case cases[] = {
        {"comma file read as space-delimited", "1,2\n3,4\n", ' ',
         first + "The entry is \"1,2\". The file looks comma-delimited: choose Comma Delimited."},
        {"tab file read as comma-delimited", "1\t2\n", ',',
         first + "The entry is \"1\\t2\". The file looks tab-delimited: choose Tab Delimited."},
        {"space file read as tab-delimited", "1 2\n", '\t',
         first + "The entry is \"1 2\". The file looks space-delimited: choose Space Delimited."},
        {"names with a number", "Study 3 data\n1 2 3\n", ' ',
         first
             + "The entry is \"Study\". The first line looks like a line of variable names, but field 2 (\"3\") is a "
               "number."},
        {"another program's marker", "1 n/a\n", ' ',
         "Row 1 of Column 2 has an invalid entry for analysis.\nThe entry is \"n/a\". \"n/a\" is not a missing-value "
         "marker here: write \".\", \"NA\" or nothing instead."},
        {"NaN", "1,NaN,3\n", ',',
         "Row 1 of Column 2 has an invalid entry for analysis.\nThe entry is \"NaN\". \"NaN\" is not a missing-value "
         "marker here: write \".\", \"NA\" or nothing instead."},
        {"a long entry is cut", "1 " + std::string(50, '#') + "\n", ' ',
         "Row 1 of Column 2 has an invalid entry for analysis.\nThe entry is \"" + std::string(40, '#') + "...\"."},
        // Cut after 40 characters, not inside the 40th (which would leave a third of a "\u20ac").
        {"a long entry is cut between characters", "1 " + std::string(39, '#') + "\u20ac##\n", ' ',
         "Row 1 of Column 2 has an invalid entry for analysis.\nThe entry is \"" + std::string(39, '#')
             + "\u20ac...\"."},
    };
    auto asTheWindowSays = [](const DelimiterInfo& likely) {
        std::string word = likely.word;
        word[0] = static_cast<char>(word[0] - 'a' + 'A');
        return "choose " + word + " Delimited";
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(withDelimiterAdvice(importFails(c.content, c.delimiter), asTheWindowSays), c.message);
    }
    const ImportFailure comma = importFails("1,2\n3,4\n", ' ');
    EXPECT_EQ(comma.likelyDelimiter, Delimiter::Comma);
    EXPECT_EQ(comma.message, first + "The entry is \"1,2\".");
    EXPECT_FALSE(importFails("1 n/a\n", ' ').likelyDelimiter.has_value());
}

// The import reads the common number forms while it looks for the field's
// end; every field must come out as the field parser reads it, to the bit.
TEST(DataImport, TheOneScanNumbersMatchTheFieldParser)
{
    std::mt19937 random(17);
    auto pick = [&](const char* set) { return set[random() % std::strlen(set)]; };
    std::vector<std::string> fields;
    for (int k = 0; k < 40000; ++k) {
        std::string field;
        if (random() % 4 == 0) {
            field += pick("+-");
        }
        const int digits = static_cast<int>(random() % 22);
        const int point = static_cast<int>(random() % (digits + 2)) - 1;
        for (int d = 0; d < digits; ++d) {
            if (d == point) {
                field += '.';
            }
            field += random() % 5 == 0 ? '0' : pick("0123456789");
        }
        if (random() % 3 == 0) {
            field += pick("eE");
            if (random() % 2 == 0) {
                field += pick("+-");
            }
            for (int d = static_cast<int>(random() % 6); d > 0; --d) {
                field += pick("0123456789");
            }
        }
        fields.push_back(field);
    }
    ImportOptions options;
    options.threads = 2;
    // The fields the parser accepts, one per line ("+" or "e5" are not numbers).
    std::string valid;
    std::vector<float> expected;
    for (const std::string& field : fields) {
        float value = 0;
        const FieldKind kind = parseField(field, value);
        if (kind == FieldKind::Number || kind == FieldKind::Missing) {
            valid += field + (expected.size() % 2 == 0 ? "\n" : "\r\n");
            expected.push_back(value);
        }
    }
    const ImportOutcome all = importDataBuffer(valid, Delimiter::Comma, options);
    ASSERT_TRUE(all.ok()) << all.refusal().message;
    ASSERT_EQ(all->NumCases(), static_cast<std::int32_t>(expected.size()));
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const float stored = all->DataTable(static_cast<std::int32_t>(k) + 1, 1);
        ASSERT_EQ(std::memcmp(&stored, &expected[k], sizeof(float)), 0) << k;
    }
    EXPECT_GT(expected.size(), 20000u);
}

TEST(DataImport, ThousandFieldsAreTheLimit)
{
    const DataSet dataSet = importOk(std::string(999, ',') + "7\n", ',');
    EXPECT_EQ(dataSet.NumVariables(), 1000);
    EXPECT_EQ(dataSet.DataTable(1, 1000), 7.0f);
    EXPECT_EQ(dataSet.DataTable(1, 999), M);
}

TEST(DataImport, MoreLinesThanTheCountHolds)
{
    ImportOptions options;
    options.maxLines = 3;
    EXPECT_TRUE(importDataBuffer("1\n2\n3\n", Delimiter::Space, options).ok());
    const ImportOutcome outcome = importDataBuffer("1\n2\n3\n4", Delimiter::Space, options);
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.refusal().kind, ImportFailure::Kind::TooManyLines);
    EXPECT_EQ(outcome.refusal().message, "The file has more than 3 lines, more cases than the program can hold.");
}

TEST(DataImport, SummaryText)
{
    const DataSet dataSet = importOk("1 2 3\n4 5\n");
    EXPECT_EQ(FormatImportSummary("/home/ann/data/study.txt", dataSet),
              "Opened the text file: /home/ann/data/study.txt\r\nNumber of Cases: 2\r\n"
              "Number of Variables: 3\r\n\r\n\r\n");
    EXPECT_EQ(FormatImportSummary("e.txt", importOk("")),
              "Opened the text file: e.txt\r\nNumber of Cases: 0\r\nNumber of Variables: 0\r\n\r\n\r\n");
    // Control characters in a name are escaped, so the summary keeps its lines.
    EXPECT_EQ(FormatImportSummary("/tmp/a\nb\r\tc\x1b\x7f\xc3\xa9.txt", importOk("")),
              "Opened the text file: /tmp/a\\nb\\r\\tc\\x1B\\x7F\xc3\xa9.txt\r\nNumber of Cases: 0\r\n"
              "Number of Variables: 0\r\n\r\n\r\n");
}

TEST(DataImport, ByteOrderMarksAndWideEncodings)
{
    using namespace std::string_view_literals;
    // The UTF-8 mark is skipped; the table and row numbers are as without it.
    EXPECT_EQ(cells(importOk("\xEF\xBB\xBF"
                             "1 2\r\n3 4")),
              cells(importOk("1 2\r\n3 4")));
    EXPECT_EQ(importFails("\xEF\xBB\xBF"
                          "1 2\r\n3 x")
                  .row,
              2);

    const std::string advice = " encoding. Data files are read as plain text (ASCII or UTF-8): save the file in one of"
                               " those encodings and import it again.";
    const std::pair<std::string_view, const char*> wide[] = {
        {"\xFF\xFE"
         "1\0 \0"
         "2\0"sv,
         "UTF-16 (little-endian)"},
        {"\xFE\xFF\0"
         "1\0 \0"
         "2"sv,
         "UTF-16 (big-endian)"},
        {"\xFF\xFE\0\0"
         "1\0\0\0"sv,
         "UTF-32 (little-endian)"},
        {"\0\0\xFE\xFF\0\0\0"
         "1"sv,
         "UTF-32 (big-endian)"},
        // Without a byte-order mark.
        {"1\0 \0"
         "2\0\r\0\n\0"sv,
         "UTF-16 (little-endian)"},
        {"\0"
         "1\0 "sv,
         "UTF-16 (big-endian)"},
        {"1\0\0\0\r\0\0\0"sv, "UTF-32 (little-endian)"},
        {"\0\0\0"
         "1"sv,
         "UTF-32 (big-endian)"},
    };
    for (const auto& [content, encoding] : wide) {
        const ImportFailure failure = importFails(content);
        EXPECT_EQ(failure.kind, ImportFailure::Kind::Encoding) << encoding;
        EXPECT_EQ(failure.message, std::string("The file is in ") + encoding + advice);
    }
    // A zero byte later on is an invalid entry, as before.
    EXPECT_EQ(importFails("1 2\0"sv).message,
              "Row 1 of Column 2 has an invalid entry for analysis.\nThe entry is \"2\\x00\".");
}

TEST(DataImport, ATableLargerThanTheMemoryIsRefusedBeforeItIsAllocated)
{
    // 2,000,000 empty lines and one of 1000 fields: 2 MB of text, an 8 GB table.
    std::string content(2000000, '\n');
    content += std::string(999, ',');
    ImportOptions options;
    options.availableMemory = 2000000000;
    const ImportOutcome outcome = importDataBuffer(content, Delimiter::Comma, options);
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.refusal().kind, ImportFailure::Kind::OutOfMemory);
    EXPECT_EQ(outcome.refusal().message,
              "The table of 2000001 cases and 1000 variables needs 8.0 GB of memory, and 2.0 GB is available.");
    // A table that fits imports.
    options.availableMemory = 9000000000;
    content.resize(1000);
    content += "1,2";
    EXPECT_TRUE(importDataBuffer(content, Delimiter::Comma, options).ok());
}

// ---- the fast import against a straightforward one ------------------------

// The field rule written plainly: a regular expression and strtod.
FieldKind referenceField(const std::string& field, float& value)
{
    if (field.empty() || field == "." || field == " ") {
        value = M;
        return FieldKind::Missing;
    }
    static const std::regex number(R"( *[+-]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][+-]?[0-9]+)? *)");
    if (field.find('\0') != std::string::npos || !std::regex_match(field, number)) {
        return FieldKind::Invalid;
    }
    const double d = std::strtod(field.c_str(), nullptr);
    if (std::fabs(d) >= 0x1.ffffffp+127) {
        return FieldKind::OutOfRange;
    }
    value = static_cast<float>(d);
    return FieldKind::Number;
}

struct ReferenceResult {
    bool ok = true;
    std::int64_t row = 0;
    std::int32_t column = 0;
    Rows rows;
    std::int32_t numVariables = 0;
};

// Line by line, field by field, as the format describes it.
ReferenceResult referenceImport(const std::string& content, char delimiter)
{
    std::vector<std::string> lines;
    std::string line;
    bool pending = false;
    for (std::size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            pending = false;
            if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') {
                ++i;
            }
        } else {
            line.push_back(c);
            pending = true;
        }
    }
    if (pending) {
        lines.push_back(line);
    }
    ReferenceResult result;
    for (const std::string& text : lines) {
        if (!text.empty()) {
            const auto fields = static_cast<std::int32_t>(std::count(text.begin(), text.end(), delimiter) + 1);
            result.numVariables = std::max(result.numVariables, std::min(fields, 1000));
        }
    }
    for (std::size_t r = 0; r < lines.size(); ++r) {
        std::vector<float> row(static_cast<std::size_t>(result.numVariables), M);
        if (!lines[r].empty()) {
            std::size_t start = 0;
            for (std::int32_t c = 1;; ++c) {
                const std::size_t stop = lines[r].find(delimiter, start);
                const std::string field =
                    lines[r].substr(start, stop == std::string::npos ? std::string::npos : stop - start);
                float value = 0;
                if (c > 1000 || referenceField(field, value) != FieldKind::Number) {
                    if (c > 1000 || referenceField(field, value) != FieldKind::Missing) {
                        result.ok = false;
                        result.row = static_cast<std::int64_t>(r) + 1;
                        result.column = c;
                        return result;
                    }
                }
                row[static_cast<std::size_t>(c - 1)] = value;
                if (stop == std::string::npos) {
                    break;
                }
                start = stop + 1;
            }
        }
        result.rows.push_back(row);
    }
    return result;
}

std::string randomContent(std::mt19937& random, char delimiter, bool allowBad)
{
    const char* good[] = {"1", "-2.5", "3e2", ".", "", " 4 ", "0.001", "+7.", "12345.678", "9999999", "1e-3"};
    const char* bad[] = {"1.2.3", "1e", "  ", "nan", "1,5", "1e39"};
    const char* ends[] = {"\r\n", "\n", "\r", "\n\r"};
    std::string content;
    const int lines = std::uniform_int_distribution<int>(0, 60)(random);
    for (int l = 0; l < lines; ++l) {
        const int fields = std::uniform_int_distribution<int>(0, 8)(random);
        for (int f = 0; f < fields; ++f) {
            if (f > 0) {
                content.push_back(delimiter);
            }
            std::string field = good[random() % std::size(good)];
            if (delimiter == ' ') {
                field.erase(std::remove(field.begin(), field.end(), ' '), field.end());
            }
            if (allowBad && random() % 150 == 0) {
                field = bad[random() % std::size(bad)];
                if (delimiter == ',' && field == "1,5") {
                    field = "1;5";
                }
            }
            content += field;
        }
        if (l + 1 < lines || random() % 2 == 0) {
            content += ends[random() % std::size(ends)];
        }
    }
    return content;
}

TEST(DataImport, MatchesStraightforwardImportForAnyThreadCount)
{
    std::mt19937 random(7);
    for (int round = 0; round < 400; ++round) {
        const char delimiter = " ,\t"[round % 3];
        const std::string content = randomContent(random, delimiter, round % 2 == 1);
        const ReferenceResult expected = referenceImport(content, delimiter);
        for (unsigned threads : {1u, 2u, 3u, 5u}) {
            ImportOptions options;
            options.threads = threads;
            const ImportOutcome outcome = importDataBuffer(content, delimiterWithByte(delimiter), options);
            ASSERT_EQ(outcome.ok(), expected.ok) << "round " << round << " threads " << threads;
            if (expected.ok) {
                ASSERT_EQ(outcome->NumVariables(), expected.numVariables) << round;
                ASSERT_EQ(cells(*outcome), expected.rows) << round;
            } else {
                ASSERT_EQ(outcome.refusal().row, expected.row) << round;
                ASSERT_EQ(outcome.refusal().column, expected.column) << round;
            }
        }
    }
}

TEST(DataImport, FieldParserMatchesStraightforwardRule)
{
    std::mt19937 random(11);
    const std::string alphabet = "0123456789.eE+- x";
    for (int round = 0; round < 200000; ++round) {
        std::string field;
        const int length = std::uniform_int_distribution<int>(0, 9)(random);
        for (int k = 0; k < length; ++k) {
            field.push_back(alphabet[random() % alphabet.size()]);
        }
        float fast = 0;
        float slow = 0;
        const FieldKind fastKind = parseField(field, fast);
        const FieldKind slowKind = referenceField(field, slow);
        ASSERT_EQ(fastKind, slowKind) << '"' << field << '"';
        if (fastKind == FieldKind::Number) {
            ASSERT_EQ(fast, slow) << '"' << field << '"';
        }
    }
}

TEST(DataImport, BinaryDataGivesAnOutcomeNotACrash)
{
    std::mt19937 random(3);
    for (int round = 0; round < 200; ++round) {
        std::string content(static_cast<std::size_t>(random() % 3000), '\0');
        for (char& c : content) {
            c = static_cast<char>(random());
        }
        for (unsigned threads : {1u, 2u}) {
            ImportOptions options;
            options.threads = threads;
            const ImportOutcome outcome = importDataBuffer(content, Delimiter::Space, options);
            EXPECT_TRUE(outcome.ok() || !outcome.refusal().message.empty());
        }
    }
}

// ---- files -------------------------------------------------------------------

TEST(DataImportFile, ReadsFilesAndNamesTheOnesItCannotRead)
{
    test::TempDir dir;
    const std::string good = dir.write("good.txt", "1 2\r\n3 4\r\n");
    const ImportOutcome outcome = ImportDataFile(good, Delimiter::Space);
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(outcome->NumCases(), 2);
    EXPECT_EQ(outcome->DataTable(2, 2), 4.0f);

    const std::string empty = dir.write("empty.txt", "");
    const ImportOutcome emptyOutcome = ImportDataFile(empty, Delimiter::Space);
    ASSERT_TRUE(emptyOutcome.ok());
    EXPECT_EQ(emptyOutcome->NumCases(), 0);

    struct Case {
        std::string path;
        std::string message;
    };
    const std::string missing = (dir.path() / "missing.txt").string();
    const Case cases[] = {
        {missing, "The file " + missing + " could not be read: No such file or directory."},
        {dir.path().string(), "The file " + dir.path().string() + " could not be read: Is a directory."},
        {good + "/x", "The file " + good + "/x could not be read: Not a directory."},
        // Opens, then fails to read (even for root).
        {"/proc/self/mem", "The file /proc/self/mem could not be read: Input/output error."},
    };
    for (const Case& c : cases) {
        const ImportOutcome failed = ImportDataFile(c.path, Delimiter::Space);
        ASSERT_FALSE(failed.ok()) << c.path;
        EXPECT_EQ(failed.refusal().kind, ImportFailure::Kind::FileError);
        EXPECT_EQ(failed.refusal().message, c.message);
    }
}

TEST(DataImportFile, OnlyRegularFilesAreReadAndNeverBlock)
{
    test::TempDir dir;
    const std::string fifo = (dir.path() / "pipe.txt").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Opening a named pipe without a writer must not wait for one.
    auto pending = std::async(std::launch::async, [&] { return ImportDataFile(fifo, Delimiter::Space); });
    if (pending.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK); // let the reader go
        pending.wait();
        close(writer);
        FAIL() << "the import waited for a writer to the named pipe";
    }
    const ImportOutcome fromPipe = pending.get();
    ASSERT_FALSE(fromPipe.ok());
    EXPECT_EQ(fromPipe.refusal().kind, ImportFailure::Kind::FileError);
    EXPECT_EQ(fromPipe.refusal().message,
              "The file " + fifo + " is a named pipe, not a regular file; only regular files can be imported.");
    EXPECT_EQ(ImportDataFile("/dev/zero", Delimiter::Space).refusal().message,
              "The file /dev/zero is a device, not a regular file; only regular files can be imported.");

    // Where pipes are allowed (the command line), one is read to its end.
    std::thread writer([&] {
        // Gives up, rather than hanging the test, when no reader comes.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        int fd = -1;
        while ((fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK)) < 0 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (fd >= 0) {
            const std::string_view text = "1 2\n3 4\n";
            EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
            close(fd);
        }
    });
    ImportOptions options;
    options.acceptPipes = true;
    const ImportOutcome piped = ImportDataFile(fifo, Delimiter::Space, options);
    writer.join();
    ASSERT_TRUE(piped.ok()) << piped.refusal().message;
    EXPECT_EQ(cells(*piped), (std::vector<std::vector<float>>{{1, 2}, {3, 4}}));
}

TEST(DataImportFile, AFileThatChangesWhileItIsReadIsAnErrorNotACrash)
{
    test::TempDir dir;
    const std::string path = dir.write("changing.txt", std::string(300000, '1') + "\n");
    for (const bool shrink : {true, false}) {
        FileContent::Options options;
        options.beforeReading = [&] {
            if (shrink) {
                truncate(path.c_str(), 1000);
            } else {
                std::ofstream(path, std::ios::app) << "2\n";
            }
        };
        try {
            const FileContent content(path, options);
            ADD_FAILURE() << "no error for a file that changed";
        } catch (const FileError& error) {
            EXPECT_EQ(std::string(error.what()), "The file " + path + " changed while it was read (it became "
                                                     + (shrink ? "shorter" : "longer")
                                                     + "). Import it again once nothing writes to it.");
        }
    }
    // A file larger than the memory available is not read at all.
    dir.write("changing.txt", std::string(300000, '1') + "\n");
    FileContent::Options small;
    small.availableMemory = 1000;
    bool read = false;
    small.beforeReading = [&] { read = true; };
    try {
        const FileContent content(path, small);
        ADD_FAILURE() << "no error for a file larger than the memory";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "The file " + path + " is too large to read: it needs 300.0 KB of memory, and 1.0 KB is available.");
    }
    EXPECT_FALSE(read);
}

// Writers that leave a file's size as it was: the same number of bytes
// rewritten in place with another modification time, a file cut short and
// filled again by a writer that kept its offset (the gap reads as zero
// bytes), and another file renamed over the path (the open descriptor still
// reads the old one). Every reading path must refuse each as a change.
struct SameSizeWriter {
    const char* name;
    std::function<void(const std::string& path, const std::string& other)> write;
};

std::vector<SameSizeWriter> sameSizeWriters()
{
    return {
        {"rewritten in place",
         [](const std::string& path, const std::string& other) {
             const int fd = ::open(path.c_str(), O_WRONLY);
             ASSERT_GE(fd, 0);
             ASSERT_EQ(::pwrite(fd, other.data(), other.size(), 0), static_cast<ssize_t>(other.size()));
             // Another second than the file had, whatever the clock's granularity.
             const timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 123456789}};
             ASSERT_EQ(::futimens(fd, times), 0);
             ::close(fd);
         }},
        {"cut short and filled with zeros",
         [](const std::string& path, const std::string& other) {
             ASSERT_EQ(::truncate(path.c_str(), 2), 0);
             ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(other.size())), 0);
         }},
        {"replaced by a rename",
         [](const std::string& path, const std::string& other) {
             const std::string next = path + ".new";
             std::ofstream(next, std::ios::binary) << other;
             ASSERT_EQ(std::rename(next.c_str(), path.c_str()), 0);
         }},
    };
}

// A stop asked for (the window's Cancel) ends a reading in blocks at its next
// block, in either pass, with a Cancelled failure and no table.
TEST(DataImportFile, AStopEndsAReadingInBlocks)
{
    test::TempDir dir;
    std::string text;
    for (int row = 1; row <= 200; ++row) {
        text += std::to_string(row) + " 2\n";
    }
    const std::string path = dir.write("long.txt", text);
    for (const bool beforeStart : {true, false}) {
        SCOPED_TRACE(beforeStart ? "asked before the reading" : "asked between the passes");
        std::stop_source stop;
        ImportOptions options;
        options.streamAbove = 0;
        options.streamBlock = 64;
        options.stop = stop.get_token();
        if (beforeStart) {
            stop.request_stop();
        } else {
            options.betweenPasses = [&] { stop.request_stop(); };
        }
        const ImportOutcome outcome = ImportDataFile(path, Delimiter::Space, options);
        ASSERT_FALSE(outcome.ok());
        EXPECT_EQ(outcome.refusal().kind, ImportFailure::Kind::Cancelled);
        EXPECT_EQ(outcome.refusal().message, "The import was cancelled.");
    }
    // Not asked: the same file is read.
    ImportOptions options;
    options.streamAbove = 0;
    options.streamBlock = 64;
    EXPECT_EQ(ImportDataFile(path, Delimiter::Space, options)->NumCases(), 200);
}

TEST(DataImportFile, AFileChangedWithoutChangingItsSizeIsRefused)
{
    test::TempDir dir;
    const std::string original = "1 2\n3 4\n5 6\n7 8\n";
    const std::string other = "9 9\n9 9\n9 9\n9 9\n";
    const std::string path = (dir.path() / "changing.txt").string();
    const std::string changedText =
        "The file " + path + " changed while it was read. Import it again once nothing writes to it.";
    for (const SameSizeWriter& writer : sameSizeWriters()) {
        SCOPED_TRACE(writer.name);
        // The whole reading: the file changes after its size is taken.
        dir.write("changing.txt", original);
        FileContent::Options whole;
        whole.beforeReading = [&] { writer.write(path, other); };
        try {
            const FileContent content(path, whole);
            ADD_FAILURE() << "read as " << escapeControlCharacters(content.bytes());
        } catch (const FileError& error) {
            EXPECT_EQ(std::string(error.what()), changedText);
        }
        // The reading in blocks: the file changes between the passes.
        dir.write("changing.txt", original);
        ImportOptions blocks;
        blocks.streamAbove = 0;
        blocks.streamBlock = 8;
        blocks.betweenPasses = [&] { writer.write(path, other); };
        const ImportOutcome streamed = ImportDataFile(path, Delimiter::Space, blocks);
        ASSERT_FALSE(streamed.ok()) << "imported " << streamed->NumCases() << " cases";
        EXPECT_EQ(streamed.refusal().message, changedText);
        EXPECT_EQ(static_cast<const ImportFailure&>(streamed.refusal()).kind, ImportFailure::Kind::FileError);
    }
    // A file that stays as it was is read, and its identity kept with the table.
    dir.write("changing.txt", original);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    for (const std::uint64_t streamAbove : {std::uint64_t{0}, std::uint64_t{1} << 20}) {
        ImportOptions options;
        options.streamAbove = streamAbove;
        options.streamBlock = 8;
        const ImportOutcome outcome = ImportDataFile(path, Delimiter::Space, options);
        ASSERT_TRUE(outcome.ok()) << outcome.refusal().message;
        ASSERT_TRUE(outcome->sourceIdentity().has_value());
        EXPECT_EQ(outcome->sourceIdentity()->inode, static_cast<std::uint64_t>(info.st_ino));
        EXPECT_EQ(outcome->sourceIdentity()->size, original.size());
        EXPECT_EQ(outcome->sourceIdentity()->modifiedNanoseconds, info.st_mtim.tv_nsec);
    }
}

// A large file is read in blocks, twice, instead of whole: the outcome is the
// whole reading's for any block size (lines and CR LF pairs cut at block
// ends, names lines, byte-order marks, detection, failures explained), and a
// file that changes between the passes is an error, never a torn table.
TEST(DataImportFile, StreamedFilesGiveTheWholeReadingsOutcome)
{
    test::TempDir dir;
    std::mt19937 random(11);
    std::vector<std::pair<std::string, char>> contents = {
        {"a b\r\n1 2\r\n3 4\r\n", ' '},
        {"\xEF\xBB\xBFx,y\n1,2\n\n3,\n", ','},
        {"1\r\r\n2\r3\n\n", ' '},
        {"1;2,5\n3;4\n", DetectDelimiter},
        {"1 2\n3 x\n", ' '},                        // refused, and explained
        {"\"\",\"y\"\n\"r1\",1\n\"r2\",2\n", ','},  // row names: the record reader
        {"\"\",\"y\"\n\"1\",1\n\"2\",2\n", ','},    // numeric row names: the record reader
        {"\"\",\"y\"\n\n\"1\",1\n", ','},           // the same after a blank line
        {"\"\",\"y\"\n1,1\n\"2\",2\n", ','},        // an empty first name over numbers
        {std::string(100, '7') + " 1\n2 3\n", ' '}, // a first line longer than a block
    };
    for (int round = 0; round < 60; ++round) {
        const char delimiter = " ,\t"[round % 3];
        contents.emplace_back(randomContent(random, delimiter, round % 4 == 3), delimiter);
    }
    for (const auto& [content, delimiter] : contents) {
        const std::string path = dir.write("streamed.txt", content);
        ImportOptions whole;
        whole.threads = 1;
        const ImportOutcome expected = importDataBuffer(content, delimiterWithByte(delimiter), whole);
        for (const std::size_t block : {16u, 37u, 4096u}) {
            for (const unsigned threads : {1u, 3u}) {
                SCOPED_TRACE(testing::Message() << "block " << block << " threads " << threads << " content "
                                                << escapeControlCharacters(content.substr(0, 60)));
                ImportOptions options;
                options.threads = threads;
                options.streamAbove = 0;
                options.streamBlock = block;
                const ImportOutcome outcome = ImportDataFile(path, delimiterWithByte(delimiter), options);
                ASSERT_EQ(outcome.ok(), expected.ok());
                if (!expected.ok()) {
                    EXPECT_EQ(outcome.refusal().message, expected.refusal().message);
                    continue;
                }
                EXPECT_EQ(cells(*outcome), cells(*expected));
                EXPECT_EQ(outcome->VariableNames(), expected->VariableNames());
                EXPECT_EQ(outcome->caseLabels(), expected->caseLabels());
                EXPECT_EQ(outcome->detectedDelimiter(), expected->detectedDelimiter());
            }
        }
    }

    const std::string path = dir.write("changing.txt", "1 2\n3 4\n5 6\n7 8\n");
    const std::string changes[] = {"1 2\n", "1 2\n3 4\n5 6\n7 8\n9 9\n", "1 2 3 4 5\n3 4\n5 6\n7 8\n"};
    for (const std::string& changed : changes) {
        SCOPED_TRACE(changed);
        dir.write("changing.txt", "1 2\n3 4\n5 6\n7 8\n");
        ImportOptions options;
        options.streamAbove = 0;
        options.streamBlock = 8;
        options.betweenPasses = [&] { dir.write("changing.txt", changed); };
        const ImportOutcome outcome = ImportDataFile(path, Delimiter::Space, options);
        ASSERT_FALSE(outcome.ok());
        EXPECT_EQ(outcome.refusal().message,
                  "The file " + path + " changed while it was read. Import it again once nothing writes to it.");
    }
}

TEST(DataImportFile, FilesWithoutSizeAreReadToTheirEnd)
{
    // /proc files report a size of 0 but have content.
    const ImportOutcome outcome = ImportDataFile("/proc/self/oom_score_adj", Delimiter::Space);
    ASSERT_TRUE(outcome.ok()) << outcome.refusal().message;
    EXPECT_EQ(outcome->NumCases(), 1);
    EXPECT_EQ(outcome->NumVariables(), 1);
}

TEST(DataImportFile, SampleFilesImport)
{
    const std::string examples = ORVALIS_EXAMPLES_DIR;
    const ImportOutcome study = ImportDataFile(examples + "/study.txt", Delimiter::Space);
    ASSERT_TRUE(study.ok()) << study.refusal().message;
    EXPECT_GE(study->NumCases(), 200);
    EXPECT_EQ(study->NumVariables(), 6);
    int missing = 0;
    for (std::int32_t r = 1; r <= study->NumCases(); ++r) {
        for (std::int32_t c = 1; c <= 6; ++c) {
            missing += isMissing(study->DataTable(r, c)) ? 1 : 0;
        }
    }
    EXPECT_GT(missing, 0);
    EXPECT_LT(missing, 20);
    EXPECT_TRUE(ImportDataFile(examples + "/survey.dat", Delimiter::Comma).ok());
    EXPECT_TRUE(ImportDataFile(examples + "/reaction.txt", Delimiter::Tab).ok());
    EXPECT_TRUE(ImportDataFile(examples + "/growth.dat", Delimiter::Space).ok());
}

// A table as one line a test can compare: "names a,b; labels r1,r2; 1 2|3 ." with
// a text variable's cells as their labels in brackets ("[setosa]").
std::string described(const DataSet& data)
{
    std::string text;
    auto list = [&](const char* what, const std::vector<std::string>& items) {
        text += what;
        for (std::size_t k = 1; k < items.size(); ++k) {
            text += (k > 1 ? "," : " ") + items[k];
        }
        text += "; ";
    };
    if (data.hasNamesLine()) {
        list("names", data.VariableNames());
    }
    if (data.hasCaseLabels()) {
        list("labels", data.caseLabels());
    }
    for (std::int32_t r = 1; r <= data.NumCases(); ++r) {
        for (std::int32_t v = 1; v <= data.NumVariables(); ++v) {
            const float x = data.DataTable(r, v);
            text += v > 1 ? " " : (r > 1 ? "|" : "");
            text += data.isCategorical(v) && !isMissing(x) ? "[" + data.categoryLabel(r, v) + "]"
                    : isMissing(x)                         ? std::string(".")
                                                           : formatFloat(x);
        }
    }
    return text;
}

// Files as R and spreadsheets write them: quotes (line breaks and
// delimiters inside), row names, text columns, decimal commas and a detected
// delimiter; and the refusals that must stay as they were, so that a typo in
// a numeric column or a wrong delimiter never turns into categories.
TEST(DataImport, QuotesRowNamesTextColumnsAndDecimalCommas)
{
    struct Case {
        const char* name;
        std::string content;
        char delimiter;
        std::string expected; // described(), or the refusal's message
    };
    const std::string row1col2 = "Row 1 of Column 2 has an invalid entry for analysis.\n";
    const Case cases[] = {
        {"quoted numbers", "\"1.5\",\"-2\",\"\"\n3,\"NA\",4\n", ',', "1.5 -2 .|3 . 4"},
        {"line break and delimiter in quotes", "id,note\n1,\"a,\nb\"\n2,c\n3,\n", ',',
         "names id,note; 1 [a,\nb]|2 [c]|3 ."},
        {"doubled quotes", "1,\"say \"\"hi\"\"\"\n2,\"say \"\"hi\"\"\"\n", ',', "1 [say \"hi\"]|2 [say \"hi\"]"},
        {"write.csv row names", "\"\",\"x\",\"y\"\n\"r1\",1,2\n\"r2\",3,4\n", ',', "names x,y; labels r1,r2; 1 2|3 4"},
        {"write.table row names", "\"x\" \"y\"\n\"r1\" 1 2\n\"r2\" 3 4\n", ' ', "names x,y; labels r1,r2; 1 2|3 4"},
        // R's write.csv quotes its row names, numbers too, under an empty
        // first name: write.csv(data.frame(y = c(1.5, 2), x = c(2.5, 3))).
        {"write.csv numeric row names", "\"\",\"y\",\"x\"\n\"1\",1.5,2.5\n\"2\",2,3\n", ',',
         "names y,x; labels 1,2; 1.5 2.5|2 3"},
        {"write.csv numeric row names, CR LF, detected", "\"\",\"y\",\"x\"\r\n\"1\",1.5,2.5\r\n\"2\",2,3\r\n",
         DetectDelimiter, "names y,x; labels 1,2; 1.5 2.5|2 3"},
        {"row names mixing numbers and text", "\"\",\"y\"\n\"1\",2\n\"b\",3\n\"1e99\",4\n", ',',
         "names y; labels 1,b,1e99; 2|3|4"},
        {"a row name beyond single precision", "\"\",\"y\"\n\"1e99\",2\n\"b\",3\n", ',', "names y; labels 1e99,b; 2|3"},
        // Without every entry quoted, an empty first name over numbers stays a variable.
        {"an empty first name over unquoted numbers", "\"\",\"y\"\n1,2\n3,4\n", ',', "names ,y; 1 2|3 4"},
        {"an empty first name over partly quoted numbers", "\"\",\"y\"\n\"1\",2\n3,4\n", ',', "names ,y; 1 2|3 4"},
        {"an empty first name over a quoted empty entry", "\"\",\"y\"\n\"1\",2\n\"\",4\n", ',', "names ,y; 1 2|. 4"},
        {"pandas' unnamed index", ",y\n0,1.5\n1,2\n", ',', "names ,y; 0 1.5|1 2"},
        {"a named first column of quoted numbers", "\"id\",\"y\"\n\"1\",2\n\"2\",4\n", ',', "names id,y; 1 2|2 4"},
        // A quoted entry that is no number is text, letters or not; unquoted, it stays an invalid entry.
        {"quoted text without a letter", "\"g\",\"y\"\n\"25-34\",1\n\"75+\",2\n\"25-34\",3\n", ',',
         "names g,y; [25-34] 1|[75+] 2|[25-34] 3"},
        {"unquoted text without a letter", "g,y\n25-34,1\n", ',',
         "Row 1 of Column 1 has an invalid entry for analysis.\nThe entry is \"25-34\"."},
        {"a quoted marker of another program", "1,\"a\"\n2,\"n/a\"\n", ',',
         "Row 2 of Column 2 has an invalid entry for analysis.\nThe entry is \"\"n/a\"\". \"n/a\" is not a "
         "missing-value marker here: write \".\", \"NA\" or nothing instead."},
        {"a quoted decimal comma in a comma file", "1,\"2,5\"\n2,\"3,5\"\n", ',',
         "Row 1 of Column 2 has an invalid entry for analysis.\nThe entry is \"\"2,5\"\"."},
        {"quoted dates", "\"d\",\"y\"\n\"2020-03-12\",1\n\"12/03/2020\",2\n", ',',
         "names d,y; [2020-03-12] 1|[12/03/2020] 2"},
        {"quoted text without a letter among numbers", "1,2\n3,\"4-5\"\n", ',',
         "Row 2 of Column 2 has an invalid entry for analysis.\nThe entry is \"\"4-5\"\"."},
        {"a text first column with its own name is a variable", "g,y\na,1\nb,2\na,3\n", ',',
         "names g,y; [a] 1|[b] 2|[a] 3"},
        {"decimal commas with semicolons", "1;2,5\n\"3,25\";-0,5\n", ';', "1 2.5|3.25 -0.5"},
        {"a decimal comma without semicolons stays an error", "1 2,5\n", ' ', row1col2 + "The entry is \"2,5\"."},
        {"a typo in a numeric column", "1,2\n3,x\n5,6\n", ',',
         "Row 2 of Column 2 has an invalid entry for analysis.\nThe entry is \"x\"."},
        {"another program's marker in a text column", "1,a\n2,n/a\n", ',',
         "Row 2 of Column 2 has an invalid entry for analysis.\nThe entry is \"n/a\". \"n/a\" is not a missing-value "
         "marker here: write \".\", \"NA\" or nothing instead."},
        // Its first line reads as one name, as it always has.
        {"a comma file with text read as space-delimited", "5.1,3.5,setosa\n4.9,3,setosa\n", ' ',
         "Row 1 of Column 1 has an invalid entry for analysis.\nThe entry is \"4.9,3,setosa\"."},
        {"detected semicolons", "a;b\n1;2,5\n3;4\n", DetectDelimiter, "names a,b; 1 2.5|3 4"},
        {"detected tabs before commas", "1\ta,b\n2\tc,d\n", DetectDelimiter, "1 [a,b]|2 [c,d]"},
        {"one column: space", "1\n2\n", DetectDelimiter, "1|2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ImportOutcome outcome = importDataBuffer(c.content, delimiterWithByte(c.delimiter));
        EXPECT_EQ(outcome.ok() ? described(*outcome) : outcome.refusal().message, c.expected);
    }
    EXPECT_EQ(importFails("5.1,3.5,setosa\n4.9,3,setosa\n").likelyDelimiter, Delimiter::Comma);
    EXPECT_EQ(importDataBuffer("a;b\n1;2\n", Delimiter::Detect)->detectedDelimiter(), Delimiter::Semicolon);
    EXPECT_FALSE(importDataBuffer("a;b\n1;2\n", Delimiter::Semicolon)->detectedDelimiter().has_value());
}

// The delimiter travels inside the import as its table row: every row's byte
// names its row (the detect byte, Detect), and a byte of no row is a caller's
// mistake, never a silent other delimiter.
TEST(DataImport, EveryDelimiterByteNamesItsRow)
{
    for (const DelimiterInfo& info : delimiterTable()) {
        EXPECT_EQ(delimiterWithByte(info.character), info.id) << info.word;
    }
    EXPECT_EQ(delimiterWithByte(DetectDelimiter), Delimiter::Detect);
    EXPECT_EQ(delimiterWithByte('\t'), Delimiter::Tab);
    EXPECT_THROW(delimiterWithByte('|'), std::invalid_argument);
}

// A text column's categories are its distinct labels as decoded (UTF-8 as
// it is, anything else as Windows-1252), not its distinct bytes: "caf\xe9"
// and "caf\xc3\xa9" are one category "caf\u00e9". A file in one encoding
// reads as it always has.
TEST(DataImport, CategoriesAreKeyedOnTheirDecodedLabel)
{
    struct Case {
        const char* name;
        std::string content;
        std::vector<std::string> labels;
        std::vector<float> codes; // variable 1, case by case
    };
    const std::string cafe = "caf\u00e9";
    const std::string naive = "na\u00efve";
    const Case cases[] = {
        {"both encodings", "g,y\ncaf\xe9,1\ncaf\xc3\xa9,2\ntea,3\ncaf\xe9,4\n", {cafe, "tea"}, {1, 1, 2, 1}},
        {"both encodings, quoted, UTF-8 first", "\"g\",\"y\"\n\"caf\xc3\xa9\",1\n\"caf\xe9\",2\n", {cafe}, {1, 1}},
        {"UTF-8 only", "g,y\ncaf\xc3\xa9,1\nna\xc3\xafve,2\ncaf\xc3\xa9,3\n", {cafe, naive}, {1, 2, 1}},
        {"Windows-1252 only", "g,y\ncaf\xe9,1\nna\xefve,2\ncaf\xe9,3\n", {cafe, naive}, {1, 2, 1}},
        {"one encoding, two spellings", "g,y\ncafe,1\nCAF\xc3\x89,2\n", {"cafe", "CAF\u00c9"}, {1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DataSet dataSet = importOk(c.content, ',');
        ASSERT_EQ(dataSet.NumVariables(), 2);
        EXPECT_EQ(dataSet.categories(1), c.labels);
        std::vector<float> codes;
        for (std::int32_t r = 1; r <= dataSet.NumCases(); ++r) {
            codes.push_back(dataSet.DataTable(r, 1));
        }
        EXPECT_EQ(codes, c.codes);
    }
    // Row names in both encodings: each decoded on its own.
    const DataSet labelled = importOk("\"\",\"y\"\n\"caf\xe9\",1\n\"caf\xc3\xa9\",2\n", ',');
    EXPECT_EQ(labelled.caseLabels(), std::vector<std::string>({"", cafe, cafe}));
}

// Imputed data sets stacked in one file, as R's mice writes them
// (tests/data/imputation/make_mice.R): the summary warns that the number of
// the imputation is a column, as for SPSS's and Stata's names of it, in any
// case; other names, and files without such a column, read as before.
TEST(DataImportFile, StackedImputationsAreNamed)
{
    const std::string warning = ": looks like the number of an imputation. The analyses take all rows as one sample, "
                                "so their limits would be too narrow: pool imputed data sets elsewhere.\r\n";
    const ImportOutcome mice = ImportDataFile(ORVALIS_TEST_DATA_DIR "/imputation/mice_long.csv", Delimiter::Comma);
    ASSERT_TRUE(mice.ok()) << mice.refusal().message;
    EXPECT_EQ(FormatImportSummary("mice_long.csv", *mice),
              "Opened the text file: mice_long.csv\r\nNumber of Cases: 125\r\nNumber of Variables: 6\r\nThe first "
              "line was read as variable names: .imp, .id, age, bmi, hyp, chl\r\nVar 1 (.imp)"
                  + warning + "\r\n\r\n");
    EXPECT_EQ(mice->imputationVariables(), std::vector<std::int32_t>({1}));

    struct Case {
        const char* names;
        std::vector<std::int32_t> imputation;
    };
    const Case cases[] = {
        {"Imputation_,y,x", {1}}, {"y,_mi_m,x", {2}},    {".IMP,y,x", {1}},  {"y,x,IMPUTATION_", {3}},
        {"imp,y,x", {}},          {"y,.id,x", {}},       {"_mi_id,y,x", {}}, {"Imputation,y,x", {}},
        {".imp2,y,x", {}},        {"y,x,\".imp\"", {3}}, {"y,x,z", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.names);
        const DataSet data = importOk(std::string(c.names) + "\n1,2,3\n2,3,4\n", ',');
        EXPECT_EQ(data.imputationVariables(), c.imputation);
        const std::string summary = FormatImportSummary("s.csv", data);
        EXPECT_EQ(summary.find(warning) != std::string::npos, !c.imputation.empty()) << summary;
    }
    // A file without such a column: the summary as it always was.
    EXPECT_EQ(FormatImportSummary("s.csv", importOk("y,x,z\n1,2,3\n", ',')),
              "Opened the text file: s.csv\r\nNumber of Cases: 1\r\nNumber of Variables: 3\r\nThe first line was read "
              "as variable names: y, x, z\r\n\r\n\r\n");
}

// The files R's writers made (tests/data/formats/make_delimited.R), read as
// a researcher would: the summary, and the cells R wrote.
TEST(DataImportFile, FilesAsRWritesThem)
{
    const std::string dir = std::string(ORVALIS_TEST_DATA_DIR) + "/formats/";
    const std::string swissNames = "Fertility, Agriculture, Examination, Education, Catholic, Infant.Mortality";
    const std::string swissSummary = "Number of Cases: 6\r\nNumber of Variables: 6\r\nThe first line was read as "
                                     "variable names: "
                                     + swissNames + "\r\nThe first column was read as case labels.\r\n";
    struct Case {
        const char* file;
        char delimiter;
        std::string summary; // after the file name's line
        std::string firstRows;
    };
    const Case cases[] = {
        {"swiss.csv", ',', swissSummary, "80.2 17 15 12 9.96 22.2|83.1 45.1 6 9 84.84 22.2"},
        {"swiss_csv2.csv", ';', swissSummary, "80.2 17 15 12 9.96 22.2|83.1 45.1 6 9 84.84 22.2"},
        {"swiss_tab.txt", '\t', swissSummary, "80.2 17 15 12 9.96 22.2|83.1 45.1 6 9 84.84 22.2"},
        {"swiss.csv", DetectDelimiter,
         "Number of Cases: 6\r\nNumber of Variables: 6\r\nThe first line was read as variable names: " + swissNames
             + "\r\nDelimiter: comma (detected)\r\nThe first column was read as case labels.\r\n",
         "80.2 17 15 12 9.96 22.2|83.1 45.1 6 9 84.84 22.2"},
        {"iris.csv", ',',
         "Number of Cases: 6\r\nNumber of Variables: 6\r\nThe first line was read as variable names: Sepal.Length, "
         "Sepal.Width, Petal.Length, Petal.Width, Species, Note\r\nVar 5 (Species): text, 3 categories\r\nVar 6 "
         "(Note): text, 5 categories\r\n",
         "5.1 3.5 1.4 0.2 [setosa] [plain]|4.9 . 1.4 0.2 [setosa] [with, comma]|7 3.2 4.7 1.4 [versicolor] [say "
         "\"hi\"]|6.4 3.2 4.5 1.5 [versicolor] [two\nlines]|6.3 3.3 6 2.5 [virginica] .|5.8 2.7 5.1 1.9 [virginica] "
         "[caf\xc3\xa9]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const ImportOutcome outcome = ImportDataFile(dir + c.file, delimiterWithByte(c.delimiter));
        ASSERT_TRUE(outcome.ok()) << outcome.refusal().message;
        const std::string summary = FormatImportSummary(c.file, *outcome);
        EXPECT_EQ(summary, "Opened the text file: " + std::string(c.file) + "\r\n" + c.summary + "\r\n\r\n");
        const std::string all = described(*outcome);
        EXPECT_NE(all.find(c.firstRows), std::string::npos) << all;
    }
    const ImportOutcome swiss = ImportDataFile(dir + "swiss.csv", Delimiter::Comma);
    EXPECT_EQ(swiss->caseLabel(1), "Courtelary");
    EXPECT_EQ(swiss->caseLabel(6), "Porrentruy");

    // R's factors as write.csv writes them, quoted labels without a letter
    // among them ("25-34", "30+"), under numeric row names in quotes.
    for (const char delimiter : {',', DetectDelimiter}) {
        SCOPED_TRACE(delimiter);
        const ImportOutcome esoph = ImportDataFile(dir + "esoph.csv", delimiterWithByte(delimiter));
        ASSERT_TRUE(esoph.ok()) << esoph.refusal().message;
        EXPECT_EQ(
            FormatImportSummary("esoph.csv", *esoph),
            "Opened the text file: esoph.csv\r\nNumber of Cases: 8\r\nNumber of Variables: 5\r\nThe first line "
            "was read as variable names: agegp, alcgp, tobgp, ncases, ncontrols\r\n"
                + std::string(delimiter == ',' ? "" : "Delimiter: comma (detected)\r\n")
                + "The first column was read as case labels.\r\nVar 1 (agegp): text, 1 category\r\nVar 2 (alcgp): "
                  "text, 2 categories\r\nVar 3 (tobgp): text, 4 categories\r\n\r\n\r\n");
        EXPECT_EQ(esoph->VariableName(1), "agegp");
        EXPECT_EQ(esoph->categories(2), std::vector<std::string>({"0-39g/day", "40-79"}));
        EXPECT_EQ(esoph->categories(3), std::vector<std::string>({"0-9g/day", "10-19", "20-29", "30+"}));
        EXPECT_FALSE(esoph->isCategorical(4));
        EXPECT_FALSE(esoph->isCategorical(5));
        EXPECT_EQ(esoph->caseLabels(), std::vector<std::string>({"", "1", "2", "3", "4", "5", "6", "7", "8"}));
        const std::string start = "names agegp,alcgp,tobgp,ncases,ncontrols; labels 1,2,3,4,5,6,7,8; [25-34] "
                                  "[0-39g/day] [0-9g/day] 0 40|[25-34] [0-39g/day] [10-19] 0 10|";
        EXPECT_EQ(described(*esoph).substr(0, start.size()), start);
    }
}

} // namespace
} // namespace orvalis
