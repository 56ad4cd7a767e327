// Files of the statistical packages and the spreadsheets, made by their own writers (tests/data/formats), and damaged
// ones.
#include "common/FileHash.h"
#include "formats/FileFormats.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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
        const ImportOutcome outcome = importAnyFile(formatsDir() + c.file, Delimiter::Space);
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
    const ImportOutcome pspp = importAnyFile(formatsDir() + "pspp.sav", Delimiter::Space);
    ASSERT_TRUE(pspp.ok()) << pspp.refusal().message;
    EXPECT_EQ(pspp->DataTable(4, 1), 9.25f);
    EXPECT_EQ(pspp->DataTable(4, 2), MissingValue);
    EXPECT_EQ(pspp->DataTable(4, 3), MissingValue);
    EXPECT_EQ(categoriesOf(*pspp, 3), "control,treated,caf\xc3\xa9");
    EXPECT_EQ(pspp->variableLabel(2), "Anxiety score");
    EXPECT_EQ(pspp->variableCaption(2), "Var 2  anx: Anxiety score"); // as the dialogs list it
    // ReadStat 1.1.8 reads no portable file PSPP writes (it says "unsupported
    // features" of PSPP's .por, with its own file reading too): refused, with that reason.
    const ImportOutcome por = importAnyFile(formatsDir() + "pspp.por", Delimiter::Space);
    ASSERT_FALSE(por.ok());
    EXPECT_EQ(por.refusal().message.rfind("The file could not be read as an SPSS portable file: Invalid file, or file "
                                          "has unsupported features",
                                          0),
              0u)
        << por.refusal().message;
    // The summary of one in full.
    EXPECT_EQ(FormatImportSummary("study.xpt", *importAnyFile(formatsDir() + "study.xpt", Delimiter::Space)),
              "Opened the SAS file: study.xpt\r\nNumber of Cases: 5\r\nNumber of Variables: 3\r\nVariable names: "
              "score, anx, group\r\nVar 2 (anx): Anxiety score\r\nVar 3 (group): text, 3 categories\r\n\r\n\r\n");
}

// The workbooks: the first sheet, or one by name; names from the first row,
// a text column as categories, an empty cell missing, dates as serial numbers.
TEST(FileFormats, WorkbooksAndTheirSheets)
{
    for (const char* file : {"study.xlsx", "study.ods"}) {
        SCOPED_TRACE(file);
        const ImportOutcome first = importAnyFile(formatsDir() + file, Delimiter::Space);
        ASSERT_TRUE(first.ok()) << first.refusal().message;
        EXPECT_EQ(first->VariableName(1), "score");
        EXPECT_EQ(first->NumCases(), 4);
        // The file's identity as read, which a run's record checks before it hashes the file.
        EXPECT_EQ(first->sourceIdentity(), identityOfPath(formatsDir() + file));
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
        const ImportOutcome second = importAnyFile(formatsDir() + file, Delimiter::Space, {}, other);
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
        const ImportOutcome cancelled = importAnyFile(formatsDir() + file, Delimiter::Space, {}, asked);
        ASSERT_FALSE(cancelled.ok());
        EXPECT_EQ(cancelled.refusal().kind, ImportFailure::Kind::Cancelled);
        EXPECT_EQ(offered, (std::vector<std::string>{"Scores", "Other"}));

        // A stop asked for ends the reading of the XML (the window's Cancel).
        std::stop_source stop;
        stop.request_stop();
        ImportOptions stopped;
        stopped.stop = stop.get_token();
        const ImportOutcome halted = importAnyFile(formatsDir() + file, Delimiter::Space, stopped);
        ASSERT_FALSE(halted.ok());
        EXPECT_EQ(halted.refusal().kind, ImportFailure::Kind::Cancelled);
        EXPECT_EQ(halted.refusal().message, "The import was cancelled.");

        FormatOptions missing;
        missing.sheet = "Nope";
        EXPECT_EQ(importAnyFile(formatsDir() + file, Delimiter::Space, {}, missing).refusal().message,
                  "The file could not be read: the workbook has no sheet named Nope (its sheets: Scores, Other).");
    }
    // Excel keeps no value for a formula it never computed (openpyxl's "=A2+A3"): missing.
    EXPECT_EQ(importAnyFile(formatsDir() + "study.xlsx", Delimiter::Space)->DataTable(4, 1), MissingValue);
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
        const ImportOutcome outcome = importAnyBytes(c.bytes, "", Delimiter::Space);
        ASSERT_FALSE(outcome.ok());
        EXPECT_EQ(outcome.refusal().kind, ImportFailure::Kind::FileError);
        EXPECT_EQ(outcome.refusal().message.substr(0, c.messageStart.size()), c.messageStart)
            << outcome.refusal().message;
    }
    // A few bytes that claim a billion cells are refused before they are unpacked.
    ImportOptions small;
    small.availableMemory = std::uint64_t{64} << 20;
    const ImportOutcome bomb = importAnyFile(formatsDir() + "bomb.ods", Delimiter::Space, small);
    ASSERT_FALSE(bomb.ok());
    EXPECT_EQ(bomb.refusal().message, "The file could not be read as an OpenDocument spreadsheet: the workbook would "
                                      "need at least 25.0 GB to read, more than the 16.8 MB a sheet may take.");
    EXPECT_EQ(bomb.refusal().kind, ImportFailure::Kind::OutOfMemory);
    EXPECT_EQ(detectFileFormat("$FL2 x", "data.txt"), FileFormat::SpssSystem);
    EXPECT_EQ(detectFileFormat("1 2 3\n", "data.sav"), FileFormat::DelimitedText);
    EXPECT_EQ(detectFileFormat("PK\x03\x04 not a workbook", "a.zip"), FileFormat::Xlsx);
}


// The hostile workbooks (tests/data/formats/make_hostile.py): each is read in
// one bounded pass, imported or refused with its reason, and never takes more
// memory than the sheet's budget (256 MB) plus the part's XML, checked in a
// child process under an address-space limit of that size (not under the
// sanitizers, which reserve far more address space for themselves). The
// budget follows the memory available, which the limit lowers: the child
// checks the refusal's kind, the parent its words with 16 GB available.
TEST(FileFormats, HostileWorkbooksAreReadWithinABudget)
{
    struct Case {
        const char* file;
        std::uint64_t xmlBytes; // the largest part, unpacked
        const char* message;    // the refusal's message with 16 GB available, or "" for an import
    };
    const Case cases[] = {
        {"spaces.ods", 1000, "the workbook would need at least 2.1 GB to read, more than the 268.4 MB a sheet may take."},
        {"spaces5.ods", 1000, "the workbook would need at least 2.1 GB to read, more than the 268.4 MB a sheet may "
                              "take."},
        {"repeated_columns.ods", 101000, "the workbook would need at least 1.6 GB to read, more than the 268.4 MB a "
                                         "sheet may take."},
        {"repeated_rows.ods", 101000, "the workbook would need at least 10.0 GB to read, more than the 268.4 MB a "
                                      "sheet may take."},
        {"columns_overflow.ods", 1000, "a cell lies beyond the last column a sheet can have."},
        {"shared_string.xlsx", 1000000, "the workbook would need at least 269.0 MB to read, more than the 268.4 MB a "
                                        "sheet may take."},
        {"nested_groups.ods", 5000000, ""},
        {"nested_runs.xlsx", 1000000, ""},
        {"empty_elements.xlsx", 50000000, ""},
    };
    ImportOptions plenty;
    plenty.availableMemory = std::uint64_t{16} << 30;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = formatsDir() + "hostile/" + c.file;
        const bool refused = *c.message != '\0';
        std::fflush(nullptr);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // A hang fails the test instead of stopping it.
            alarm(60);
#if !defined(__SANITIZE_ADDRESS__)
            std::ifstream statm("/proc/self/statm");
            std::uint64_t pages = 0;
            statm >> pages;
            const std::uint64_t inUse = pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
            rlimit limit{};
            getrlimit(RLIMIT_AS, &limit);
            limit.rlim_cur = inUse + (std::uint64_t{256} << 20) + c.xmlBytes + (std::uint64_t{64} << 20);
            setrlimit(RLIMIT_AS, &limit);
#endif
            const ImportOutcome outcome = importAnyFile(path, Delimiter::Space);
            // Refused for the reason the file gives (the budget, or the column), never for memory that ran out.
            const bool sound = refused ? !outcome.ok() && outcome.refusal().message.find("not enough memory")
                                                              == std::string::npos
                                       : outcome.ok();
            if (!sound) {
                std::fprintf(stderr, "%s\n", outcome.ok() ? "imported" : outcome.refusal().message.c_str());
            }
            std::_Exit(sound ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
        if (refused) {
            const std::string what = std::string(c.file).ends_with(".ods") ? "an OpenDocument spreadsheet"
                                                                           : "an Excel workbook";
            const ImportOutcome outcome = importAnyFile(path, Delimiter::Space, plenty);
            ASSERT_FALSE(outcome.ok());
            EXPECT_EQ(outcome.refusal().message, "The file could not be read as " + what + ": " + c.message);
        }
    }
    // What the readable ones hold: the row deep inside the groups, the text of
    // every nested run, and the one number among the empty cells.
    const ImportOutcome nested = importAnyFile(formatsDir() + "hostile/nested_groups.ods", Delimiter::Space);
    ASSERT_TRUE(nested.ok()) << nested.refusal().message;
    EXPECT_EQ(nested->NumCases(), 1);
    EXPECT_EQ(nested->DataTable(1, 1), 7.0f);
    const ImportOutcome runs = importAnyFile(formatsDir() + "hostile/nested_runs.xlsx", Delimiter::Space);
    ASSERT_TRUE(runs.ok()) << runs.refusal().message;
    EXPECT_EQ(runs->VariableName(1), std::string(100000, 'a'));
    const ImportOutcome empty = importAnyFile(formatsDir() + "hostile/empty_elements.xlsx", Delimiter::Space);
    ASSERT_TRUE(empty.ok()) << empty.refusal().message;
    EXPECT_EQ(empty->NumVariables(), 1);
    EXPECT_EQ(empty->DataTable(1, 1), 1.0f);
}

// A date that does not exist is an invalid entry, never a number made of it;
// the dates that exist keep their serial numbers.
TEST(FileFormats, DatesThatDoNotExistAreInvalidEntries)
{
    // Each beside its serial number as LibreOffice shows it.
    const ImportOutcome dates = importAnyFile(formatsDir() + "hostile/dates.ods", Delimiter::Space);
    ASSERT_TRUE(dates.ok()) << dates.refusal().message;
    ASSERT_EQ(dates->NumCases(), 6);
    for (std::int32_t row = 1; row <= dates->NumCases(); ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(dates->DataTable(row, 1), dates->DataTable(row, 2));
    }
    for (int n = 1; n <= 6; ++n) {
        SCOPED_TRACE(n);
        const ImportOutcome bad =
            importAnyFile(formatsDir() + "hostile/bad_date" + std::to_string(n) + ".ods", Delimiter::Space);
        ASSERT_FALSE(bad.ok());
        EXPECT_EQ(bad.refusal().kind, ImportFailure::Kind::InvalidEntry);
        EXPECT_EQ(bad.refusal().message.rfind("Row 2 of Column 1 has an invalid entry", 0), 0u)
            << bad.refusal().message;
    }
}

} // namespace
} // namespace orvalis
