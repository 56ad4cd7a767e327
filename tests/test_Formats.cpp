// Files of the statistical packages and the spreadsheets, made by their own writers (tests/data/formats), and damaged
// ones.
#include "formats/FileFormats.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace orvalis {
namespace {

std::string formatsDir()
{
    return std::string(ORVALIS_TEST_DATA_DIR) + "/formats/";
}

std::string bytesOf(const std::string& file)
{
    std::ifstream in(formatsDir() + file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string categoriesOf(const DataSet& data, std::int32_t v)
{
    std::string text;
    for (const std::string& label : data.categories(v)) {
        text += (text.empty() ? "" : ",") + label;
    }
    return text;
}

// What haven (make_binary.R) and openpyxl / odfpy (make_sheets.py) wrote:
// score 12.5, 14, NA, 9.25, 11; anx labelled "Anxiety score" (Stata's third
// an extended missing .a); group control, treated, control, "", café; sex
// 1, 2, 2, 1, 9 with 9 user-missing in SPSS and labels male, female.
TEST(FileFormats, FilesFromTheirOwnWritersImport)
{
    struct Case {
        const char* file;
        const char* kind;
        const char* names;
        std::int32_t cases;
        float anx3; // the third anxiety score (missing in Stata)
        bool sexNineMissing;
        const char* sexLabel; // the label of case 1's sex, where the file keeps value labels
    };
    const float M = MissingValue;
    const Case cases[] = {
        {"study.sav", "SPSS file", "score,anx,group,sex,born", 5, 2, true, "male"},
        {"study.zsav", "SPSS file", "score,anx,group,sex,born", 5, 2, true, "male"},
        {"study.dta", "Stata file", "score,anx,group,sex,born", 5, M, false, ""},
        {"study.xpt", "SAS file", "score,anx,group", 5, 2, false, ""},
        {"study.sas7bdat", "SAS file", "score,anx,group", 5, 2, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const ImportOutcome outcome = importAnyFile(formatsDir() + c.file, ' ');
        ASSERT_TRUE(outcome.ok()) << outcome.refusal().message;
        const DataSet& data = *outcome;
        EXPECT_EQ(data.fileKind(), c.kind);
        std::string names;
        for (std::int32_t v = 1; v <= data.NumVariables(); ++v) {
            names += (v > 1 ? "," : "") + data.VariableName(v);
        }
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(data.NumCases(), c.cases);
        EXPECT_EQ(data.DataTable(1, 1), 12.5f);
        EXPECT_EQ(data.DataTable(4, 1), 9.25f);
        EXPECT_EQ(data.DataTable(3, 1), M);
        EXPECT_EQ(data.variableLabel(2), "Anxiety score");
        EXPECT_EQ(data.DataTable(3, 2), c.anx3);
        EXPECT_EQ(categoriesOf(data, 3), "control,treated,caf\xc3\xa9");
        EXPECT_EQ(data.categoryLabel(5, 3), "caf\xc3\xa9");
        EXPECT_EQ(data.DataTable(4, 3), M); // the empty string
        if (data.NumVariables() >= 4) {
            EXPECT_EQ(data.DataTable(5, 4), c.sexNineMissing ? M : 9.0f);
            EXPECT_EQ(data.valueLabel(1, 4), c.sexLabel);
            // The dates: read as numbers, and said so.
            const std::string summary = FormatImportSummary(c.file, data);
            EXPECT_NE(summary.find("Var 5 (born): dates or times, read as the numbers the file stores"),
                      std::string::npos)
                << summary;
        }
    }
    // PSPP's own writer: anx's user-missing 5, a blank string missing.
    const ImportOutcome pspp = importAnyFile(formatsDir() + "pspp.sav", ' ');
    ASSERT_TRUE(pspp.ok()) << pspp.refusal().message;
    EXPECT_EQ(pspp->DataTable(4, 1), 9.25f);
    EXPECT_EQ(pspp->DataTable(4, 2), MissingValue);
    EXPECT_EQ(pspp->DataTable(4, 3), MissingValue);
    EXPECT_EQ(categoriesOf(*pspp, 3), "control,treated,caf\xc3\xa9");
    EXPECT_EQ(pspp->variableLabel(2), "Anxiety score");
    EXPECT_EQ(pspp->variableCaption(2), "Var 2  anx: Anxiety score"); // as the dialogs list it
    // ReadStat 1.1.8 reads no portable file PSPP writes (it says "unsupported
    // features" of PSPP's .por, with its own file reading too): refused, with that reason.
    const ImportOutcome por = importAnyFile(formatsDir() + "pspp.por", ' ');
    ASSERT_FALSE(por.ok());
    EXPECT_EQ(por.refusal().message.rfind("The file could not be read as an SPSS portable file: Invalid file, or file "
                                          "has unsupported features",
                                          0),
              0u)
        << por.refusal().message;
    // The summary of one in full.
    EXPECT_EQ(FormatImportSummary("study.xpt", *importAnyFile(formatsDir() + "study.xpt", ' ')),
              "Opened the SAS file: study.xpt\r\nNumber of Cases: 5\r\nNumber of Variables: 3\r\nVariable names: "
              "score, anx, group\r\nVar 2 (anx): Anxiety score\r\nVar 3 (group): text, 3 categories\r\n\r\n\r\n");
}

// The workbooks: the first sheet, or one by name; names from the first row,
// a text column as categories, an empty cell missing, dates as serial numbers.
TEST(FileFormats, WorkbooksAndTheirSheets)
{
    for (const char* file : {"study.xlsx", "study.ods"}) {
        SCOPED_TRACE(file);
        const ImportOutcome first = importAnyFile(formatsDir() + file, ' ');
        ASSERT_TRUE(first.ok()) << first.refusal().message;
        EXPECT_EQ(first->VariableName(1), "score");
        EXPECT_EQ(first->NumCases(), 4);
        EXPECT_EQ(first->DataTable(1, 1), 12.5f);
        EXPECT_EQ(first->DataTable(3, 1), MissingValue);
        EXPECT_EQ(categoriesOf(*first, 2), "control,treated,caf\xc3\xa9");
        EXPECT_EQ(first->DataTable(1, 3), 43833.0f); // 2020-01-03
        const std::string summary = FormatImportSummary(file, *first);
        EXPECT_NE(summary.find("Column C: dates or times, read as their serial numbers (days since 1899-12-30)"),
                  std::string::npos)
            << summary;

        FormatOptions other;
        other.sheet = "Other";
        const ImportOutcome second = importAnyFile(formatsDir() + file, ' ', {}, other);
        ASSERT_TRUE(second.ok()) << second.refusal().message;
        EXPECT_FALSE(second->hasNamesLine());
        EXPECT_EQ(second->DataTable(2, 2), 4.0f);

        // A chooser is asked only among several sheets; declining cancels.
        FormatOptions asked;
        std::vector<std::string> offered;
        asked.chooseSheet = [&](const std::vector<std::string>& sheets) {
            offered = sheets;
            return std::optional<std::string>();
        };
        const ImportOutcome cancelled = importAnyFile(formatsDir() + file, ' ', {}, asked);
        ASSERT_FALSE(cancelled.ok());
        EXPECT_EQ(cancelled.refusal().kind, ImportFailure::Kind::Cancelled);
        EXPECT_EQ(offered, (std::vector<std::string>{"Scores", "Other"}));

        FormatOptions missing;
        missing.sheet = "Nope";
        EXPECT_EQ(importAnyFile(formatsDir() + file, ' ', {}, missing).refusal().message,
                  "The file could not be read: the workbook has no sheet named Nope (its sheets: Scores, Other).");
    }
    // Excel keeps no value for a formula it never computed (openpyxl's "=A2+A3"): missing.
    EXPECT_EQ(importAnyFile(formatsDir() + "study.xlsx", ' ')->DataTable(4, 1), MissingValue);
}

// bytes with every from replaced by to (the same length).
std::string renamed(std::string bytes, const std::string& from, const std::string& to)
{
    for (std::size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + to.size())) {
        bytes.replace(at, from.size(), to);
    }
    return bytes;
}

// A damaged or truncated file is refused with its reader's reason, never read
// in part and never a crash; bytes that only resemble a format stay text.
TEST(FileFormats, DamagedFilesAreRefusedWithAReason)
{
    const std::string sav = bytesOf("study.sav");
    const std::string xlsx = bytesOf("study.xlsx");
    const std::string dta = bytesOf("study.dta");
    struct Case {
        const char* what;
        std::string bytes;
        std::string messageStart;
    };
    const Case cases[] = {
        {"truncated SPSS file", sav.substr(0, sav.size() / 2), "The file could not be read as an SPSS data file: "},
        {"SPSS header alone", sav.substr(0, 64), "The file could not be read as an SPSS data file: "},
        {"truncated Stata file", dta.substr(0, dta.size() / 3), "The file could not be read as a Stata data file: "},
        {"truncated workbook", xlsx.substr(0, xlsx.size() / 2),
         "The file could not be read as an Excel workbook: it is not a sound ZIP archive"},
        {"workbook without its sheet", renamed(xlsx, "xl/worksheets/sheet1.xml", "xl/worksheets/sheetX.xml"),
         "The file could not be read as an Excel workbook: "},
        {"an archive of something else", renamed(xlsx, "xl/", "zz/"),
         "The file could not be read as an Excel workbook: it has no workbook part."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ImportOutcome outcome = importAnyBytes(c.bytes, "", ' ');
        ASSERT_FALSE(outcome.ok());
        EXPECT_EQ(outcome.refusal().kind, ImportFailure::Kind::FileError);
        EXPECT_EQ(outcome.refusal().message.substr(0, c.messageStart.size()), c.messageStart)
            << outcome.refusal().message;
    }
    // A few bytes that claim a billion cells are refused before they are unpacked.
    ImportOptions small;
    small.availableMemory = std::uint64_t{64} << 20;
    const ImportOutcome bomb = importAnyFile(formatsDir() + "bomb.ods", ' ', small);
    ASSERT_FALSE(bomb.ok());
    EXPECT_EQ(bomb.refusal().message, "The file could not be read as an OpenDocument spreadsheet: it holds more cells "
                                      "than the memory available can take.");
    EXPECT_EQ(detectFileFormat("$FL2 x", "data.txt"), FileFormat::SpssSystem);
    EXPECT_EQ(detectFileFormat("1 2 3\n", "data.sav"), FileFormat::DelimitedText);
    EXPECT_EQ(detectFileFormat("PK\x03\x04 not a workbook", "a.zip"), FileFormat::Xlsx);
}

} // namespace
} // namespace orvalis
