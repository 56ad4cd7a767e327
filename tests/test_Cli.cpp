// orvalis-cli: the summary and dump commands, exit codes, usage errors.
#include "analyses/Bootstrap.h"
#include "analyses/BootstrapReport.h"
#include "analyses/RandomStream.h"
#include "cli/CliApp.h"
#include "cli/CliFigure.h"
#include "cli/CliOptions.h"
#include "common/FileHash.h"
#include "common/Version.h"
#include "data/DataImport.h"
#include "TempDir.h"

#include "TextChecks.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <set>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orvalis::cli {
namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun run(const std::vector<std::string>& args)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = runCli(args, out, err);
    return {status, out.str(), err.str()};
}

// A request run with more options after it.
CliRun runWith(std::vector<std::string> request, const std::vector<std::string>& extra)
{
    request.insert(request.end(), extra.begin(), extra.end());
    return run(request);
}

TEST(Cli, SummaryAndDumpWithEachDelimiter)
{
    test::TempDir dir;
    const std::string space = dir.write("s.txt", "3.5 -2\r\n. 12345678\r\n\r\n1 2 3");
    const std::string comma = dir.write("c.dat", "1,,3\n4,5\n");
    const std::string tab = dir.write("t.txt", "0.1\t \t1e3\r");

    CliRun r = run({space, "summary"});
    EXPECT_EQ(r.status, ExitSuccess);
    EXPECT_EQ(r.out, "Opened the text file: " + space + "\nNumber of Cases: 4\nNumber of Variables: 3\n\n\n");
    EXPECT_EQ(r.err, "");

    r = run({space, "dump"});
    EXPECT_EQ(r.status, ExitSuccess);
    // Cells a short or empty line leaves unfilled are missing.
    EXPECT_EQ(r.out, "3.5\t-2\t.\n.\t1.234568E+07\t.\n.\t.\t.\n1\t2\t3\n");

    r = run({"--delimiter", "comma", comma, "dump"});
    EXPECT_EQ(r.out, "1\t.\t3\n4\t5\t.\n");
    r = run({"--delimiter=tab", tab, "dump"});
    EXPECT_EQ(r.out, "0.1\t.\t1000\n");
    // The default delimiter is the blank: the comma file is one invalid field per line.
    r = run({comma, "dump"});
    EXPECT_EQ(r.status, ExitFailure);
}

TEST(Cli, EmptyFileAndBlankLines)
{
    test::TempDir dir;
    CliRun r = run({dir.write("e.txt", ""), "dump"});
    EXPECT_EQ(r.status, ExitSuccess);
    EXPECT_EQ(r.out, "");
    r = run({dir.write("b.txt", "\n\n"), "dump"});
    EXPECT_EQ(r.out, "\n\n");
}

TEST(Cli, FailedImportsGoToStandardErrorWithStatusOne)
{
    test::TempDir dir;
    const std::string bad = dir.write("bad.txt", "1 2 3\n1 2 3\n1 2 3\n1 2 3\n1 2 N/A\n");
    CliRun r = run({bad, "summary"});
    EXPECT_EQ(r.status, ExitFailure);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Row 5 of Column 3 has an invalid entry for analysis.\nThe entry is \"N/A\". \"N/A\" is not a "
                     "missing-value marker here: write \".\", \"NA\" or nothing instead.\n");

    const std::string missing = (dir.path() / "none.txt").string();
    r = run({missing, "dump"});
    EXPECT_EQ(r.status, ExitFailure);
    EXPECT_EQ(r.err, "The file " + missing + " could not be read: No such file or directory.\n");
}

// The command line words the delimiter hint in its own terms.
TEST(Cli, AnotherDelimiterIsSuggestedAsAnOption)
{
    test::TempDir dir;
    const CliRun r = run({dir.write("c.txt", "1,2\n3,4\n"), "summary"});
    EXPECT_EQ(r.status, ExitFailure);
    EXPECT_EQ(r.err, "Row 1 of Column 1 has an invalid entry for analysis.\nThe entry is \"1,2\". The file looks "
                     "comma-delimited: use --delimiter comma.\n");
}

TEST(Cli, UsageErrorsGiveStatusTwo)
{
    test::TempDir dir;
    const std::string file = dir.write("f.txt", "1\n");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {file},
        {file, "frobnicate"},
        {file, "summary", "extra"},
        {"--delimiter", "colon", file, "summary"},
        {"--delimiter"},
        {"--colour", file, "summary"},
    };
    for (const auto& args : cases) {
        const CliRun r = run(args);
        EXPECT_EQ(r.status, ExitUsage) << (args.empty() ? "" : args.back());
        EXPECT_EQ(r.out, "");
        // The one-line reason and where to read more; never the whole help.
        EXPECT_EQ(r.err.rfind("orvalis-cli: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
        EXPECT_EQ(r.err.substr(r.err.find('\n') + 1), "Try 'orvalis-cli --help'\n");
    }
    const CliRun help = run({"--help"});
    EXPECT_EQ(help.status, ExitSuccess);
    EXPECT_EQ(help.out.rfind("usage: orvalis-cli", 0), 0u);

    // A value given twice, or an empty file name, is a usage error naming it;
    // never "the last one wins".
    const struct {
        std::vector<std::string> args;
        std::string error;
    } ambiguous[] = {
        {{file, "bootstrap", "--dv", "1", "--dv", "2", "--added", "3"}, "orvalis-cli: --dv is given twice"},
        {{file, "bootstrap", "--dv", "1", "--added", "2", "--trials", "50", "--trials", "60"},
         "orvalis-cli: --trials is given twice"},
        {{"--delimiter", "comma", "--delimiter=tab", file, "summary"}, "orvalis-cli: --delimiter is given twice"},
        {{file, "descriptives", "1", "--format", "json", "--format", "text"}, "orvalis-cli: --format is given twice"},
        {{file, "bootstrap", "--dv", "1", "--added", "2", "--save-draws", ""},
         "orvalis-cli: --save-draws needs a file name"},
    };
    for (const auto& c : ambiguous) {
        const CliRun r = run(c.args);
        EXPECT_EQ(r.status, ExitUsage) << c.error;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.error);
    }
    // A value quoted from the command line reaches the terminal with its
    // control characters escaped, on the error's one line.
    const struct {
        std::vector<std::string> args;
        std::string error;
    } hostile[] = {
        {{file, "descriptives", "1", "--format", "x\x1b[2J"}, "orvalis-cli: --format must be text or json: x\\x1B[2J"},
        {{"--delimiter", "col\non", file, "summary"}, "orvalis-cli: unknown delimiter: col\\non (expected "},
    };
    for (const auto& c : hostile) {
        const CliRun r = run(c.args);
        EXPECT_EQ(r.status, ExitUsage) << c.error;
        EXPECT_EQ(r.err.rfind(c.error, 0), 0u) << r.err;
        EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("col\non"), std::string::npos) << r.err;
    }
    // The help and the man page list every option.
    for (const char* option : {"--delimiter", "--dv", "--predictors", "--added", "--trials", "--confidence", "--seed",
                               "--threads", "--details", "--format", "--save-draws", "--help", "--version"}) {
        EXPECT_NE(help.out.find(std::string("  ") + option), std::string::npos) << option;
        std::string roff;
        for (const char c : std::string(option)) {
            roff += c == '-' ? std::string("\\-") : std::string(1, c);
        }
        EXPECT_NE(manPageOptions().find(roff), std::string::npos) << option;
    }
    EXPECT_NE(help.out.find("a name from the file's names line"), std::string::npos);
    const CliRun version = run({"--version"});
    EXPECT_EQ(version.status, ExitSuccess);
    EXPECT_EQ(version.out.rfind("orvalis-cli ", 0), 0u);
}

TEST(Cli, TheProgramItselfExitsWithTheSameStatus)
{
    test::TempDir dir;
    const std::string good = dir.write("g.txt", "1 2\n");
    const std::string bad = dir.write("b.txt", "1\nx\n");
    struct Case {
        std::string arguments;
        int status;
    };
    const Case cases[] = {
        {"'" + good + "' summary", 0},
        {"'" + bad + "' summary", 1},
        {"'" + good + "' nonsense", 2},
    };
    for (const Case& c : cases) {
        const std::string command = std::string(ORVALIS_CLI_PATH) + " " + c.arguments + " >/dev/null 2>&1";
        const int raw = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(raw));
        EXPECT_EQ(WEXITSTATUS(raw), c.status) << c.arguments;
    }
}

// Runs a shell command line; standard output and error are caught in files.
CliRun shell(const test::TempDir& dir, const std::string& commandLine)
{
    const std::string out = (dir.path() / "shell.out").string();
    const std::string err = (dir.path() / "shell.err").string();
    const std::string command = "{ " + commandLine + " ; } >'" + out + "' 2>'" + err + "'";
    const int raw = std::system(command.c_str());
    auto slurp = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
}

TEST(Cli, TheProgramReportsEveryFailureAndReadsPipes)
{
    test::TempDir dir;
    const std::string cli = ORVALIS_CLI_PATH;
    const std::string good = dir.write("g.txt", "1 2\n");

    CliRun r = shell(dir, "printf '1 2\\n3 4\\n' | " + cli + " /dev/stdin dump");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\t2\n3\t4\n");

    r = shell(dir, cli + " '" + good + "' dump >/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "orvalis-cli: cannot write the output: No space left on device\n");

    r = shell(dir, cli + " /dev/zero summary");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "The file /dev/zero is a device, not a regular file; only regular files can be imported.\n");
}

// A named pipe whose quick writer has written and gone before the program
// reads it: opened once, read to its end, never waiting for a second writer.
// Each try is bounded so that a hang fails the test instead of stalling it.
TEST(Cli, ANamedPipeIsOpenedOnce)
{
    test::TempDir dir;
    const std::string fifo = (dir.path() / "f").string();
    const std::string cli = ORVALIS_CLI_PATH;
    for (int attempt = 0; attempt < 30; ++attempt) {
        SCOPED_TRACE(attempt);
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        // The writer opens first on even tries, the reader first on odd ones.
        const std::string writer = "(printf '1 2\\r\\n3 4\\r\\n' > '" + fifo + "' &)";
        const std::string reader = "timeout 10 " + cli + " '" + fifo + "' dump";
        const CliRun r = shell(dir, attempt % 2 == 0 ? writer + "; " + reader
                                                     : "(sleep 0.05; printf '1 2\\r\\n3 4\\r\\n' > '" + fifo + "') & "
                                                           + reader + "; wait");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "1\t2\n3\t4\n");
        std::filesystem::remove(fifo);
    }
}

TEST(Cli, ATableTooLargeForTheMemoryLimitIsRefusedNotKilled)
{
    test::TempDir dir;
    // 2 MB of text, an 8 GB table.
    const std::string big = dir.write("big.txt", std::string(2000000, '\n') + std::string(999, ','));
    const std::string command = std::string(ORVALIS_CLI_PATH) + " --delimiter comma '" + big + "' summary";
    CliRun r;
    const std::string refusal = "The table of 2000001 cases and 1000 variables needs 8.0 GB of memory, and ";
#if !defined(__SANITIZE_ADDRESS__)
    // Under a 2 GB address-space limit (the sanitizers reserve more than that for themselves).
    r = shell(dir, "ulimit -v 2000000 && " + command);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind(refusal, 0), 0u) << r.err;
#endif
    // In a control group limited to 2 GB, where the kernel kills a process
    // that goes beyond it.
    const std::string name = "orvalis-test-" + std::to_string(getpid());
    std::string group = "/sys/fs/cgroup/memory/" + name;
    std::string limitFile = "memory.limit_in_bytes";
    if (std::filesystem::exists("/sys/fs/cgroup/cgroup.controllers")) {
        group = "/sys/fs/cgroup/" + name;
        limitFile = "memory.max";
    }
    std::error_code error;
    if (!std::filesystem::create_directory(group, error)) {
        GTEST_SKIP() << "cannot make a control group here (" << error.message() << ")";
    }
    struct RemoveGroup {
        std::string path;
        ~RemoveGroup() { rmdir(path.c_str()); }
    } remove{group};
    std::ofstream(group + "/" + limitFile) << "2000000000\n";
    r = shell(dir, "sh -c 'echo $$ > " + group + "/cgroup.procs && exec " + command + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind(refusal, 0), 0u) << r.err;
}

TEST(Cli, Bootstrap)
{
    const std::string study = std::string(ORVALIS_EXAMPLES_DIR) + "/study.txt";
    CliRun r = run({study, "bootstrap", "--dv", "1", "--predictors", "3,2", "--added", "4", "--seed", "11", "--trials",
                    "200", "--threads", "1"});
    ASSERT_EQ(r.status, ExitSuccess) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("Results of Bootstrap Trials\n-------------------------------------\n"
                          "Dependent variable: Var1\nPredictors in reduced model: Var2 Var3 \n"
                          "Predictors added in full model: Var4 \nNumber of attempted bootstrap trials: 200\n",
                          0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find("\nConfidence interval: 95%\n\nReduced Model R^2: 0.55932\nFull Model R^2: 0.56893\n"
                         "Change in R^2: 0.00961\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\nF-value: 5.148(df1 = 1, df2 = 231)\n"), std::string::npos);
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 6), "\n\n\n\n\n\n");
    // The same seed gives the same report on any number of threads.
    const CliRun two = run({study, "bootstrap", "--dv", "1", "--predictors", "2,3", "--added", "4", "--seed", "11",
                            "--trials", "200", "--threads", "2"});
    EXPECT_EQ(two.out, r.out);
    // Several added predictors, the 99% level, no predictors.
    r = run({study, "bootstrap", "--dv", "1", "--added", "5,6,2", "--confidence", "99", "--trials", "100"});
    ASSERT_EQ(r.status, ExitSuccess) << r.err;
    EXPECT_NE(
        r.out.find("Predictors in reduced model: No predictors\nPredictors added in full model: Var2 Var5 Var6 \n"),
        std::string::npos);
    EXPECT_NE(r.out.find("Confidence interval: 99%"), std::string::npos);
}

TEST(Cli, BootstrapRefusalsAndUsageErrors)
{
    const std::string study = std::string(ORVALIS_EXAMPLES_DIR) + "/study.txt";
    test::TempDir dir;
    const std::string twoCases = dir.write("two.txt", "1 2\n. 3\n4 .\n");
    CliRun r = run({twoCases, "bootstrap", "--dv", "1", "--added", "2"});
    EXPECT_EQ(r.status, ExitFailure);
    EXPECT_EQ(r.err, "There is an insufficient number of observations with complete data.\n");
    r = run({study, "bootstrap", "--dv", "1", "--predictors", "2,3,4,5,6,2,3,4,5,6,2", "--added", "3,4"});
    EXPECT_EQ(r.status, ExitFailure);
    EXPECT_EQ(r.err, "Too many explanatory variables are included in the full model. The maximum number is 12.\n");
    const std::string exact = dir.write("exact.txt", "1 1\n2 2\n4 4\n3 3\n");
    r = run({exact, "bootstrap", "--dv", "1", "--added", "2"});
    EXPECT_EQ(r.status, ExitFailure);
    EXPECT_EQ(r.err, "The full model fits the complete cases exactly (R^2 = 1), so the F test is undefined.\n");

    // Six cases for five added predictors: no residual degrees of freedom, so
    // the full model fits them exactly (to within rounding).
    const std::string saturated =
        dir.write("six.txt", "2.36 1.03 3.96 1.55 0.67 4.02\n9.18 8.00 7.65 2.22 5.37 2.77\n"
                             "1.73 1.06 2.14 9.27 8.29 8.07\n8.00 1.93 3.10 6.27 7.32 8.55\n"
                             "8.80 0.87 6.06 6.72 5.06 1.78\n4.74 0.89 9.35 8.65 5.48 3.00\n");
    r = run({saturated, "bootstrap", "--dv", "1", "--added", "2-6", "--trials", "10"});
    EXPECT_EQ(r.status, ExitUsage); // a range is not a list
    r = run({saturated, "bootstrap", "--dv", "1", "--added", "2,3,4,5,6", "--trials", "10"});
    EXPECT_EQ(r.status, ExitFailure);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "The full model fits the complete cases exactly (R^2 = 1), so the F test is undefined.\n");

    const std::vector<std::vector<std::string>> usage = {
        {study, "bootstrap", "--added", "2"},
        {study, "bootstrap", "--dv", "1"},
        {study, "bootstrap", "--dv", "1", "--added", "7"}, // the file has 6 variables
        {study, "bootstrap", "--dv", "0", "--added", "2"},
        {study, "bootstrap", "--dv", "1", "--added", "2,x"},
        {study, "bootstrap", "--dv", "1", "--added", "2", "--trials", "0"},
        {study, "bootstrap", "--dv", "1", "--added", "2", "--trials", "100001"},
        {study, "bootstrap", "--dv", "1", "--added", "2", "--confidence", "80"},
        {study, "bootstrap", "--dv", "1", "--added", "2", "--seed"},
        {study, "bootstrap", "--dv", "1", "--added", "2", "--colour", "red"},
    };
    for (const auto& args : usage) {
        const CliRun u = run(args);
        EXPECT_EQ(u.status, ExitUsage) << args[3] << " " << args.back();
        EXPECT_EQ(u.out, "");
    }
}

TEST(Cli, Descriptives)
{
    test::TempDir dir;
    const std::string file = dir.write("d.txt", "1 0 12.25 .\n2 0 . .\n3 0 . .\n4 0 . .\n5 0 . .\n");
    CliRun r = run({file, "descriptives", "3-4", "1"});
    ASSERT_EQ(r.status, ExitSuccess) << r.err;
    EXPECT_EQ(r.out, "DESCRIPTIVES\n"
                     "------------------------------------------------------------\n"
                     "Name            Mean        SD       Min       Max         N\n"
                     "------------------------------------------------------------\n"
                     "Var 3          12.25         .     12.25     12.25         1\n"
                     "Var 4              .         .         .         .         0\n"
                     "Var 1              3     1.581         1         5         5\n"
                     "------------------------------------------------------------\n"
                     "\n\n\n");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{file, "descriptives"},
                                                                                      {file, "descriptives", "5"},
                                                                                      {file, "descriptives", "0"},
                                                                                      {file, "descriptives", "2-1"},
                                                                                      {file, "descriptives", "x"},
                                                                                      {file, "descriptives", "1-"}}) {
        const CliRun u = run(args);
        EXPECT_EQ(u.status, ExitUsage) << args.back();
        EXPECT_EQ(u.out, "");
    }
}

// Variables by name: a names line's names stand wherever a number does; a
// number is always a number, and a name that matches no variable, or two, is
// a usage error naming it.
TEST(Cli, VariablesByName)
{
    test::TempDir dir;
    const std::string file = dir.write("n.csv", "\"score\",\"hours\",\"sleep\",\"hours\"\n"
                                                "1,2,NA,4\n2,3,5,1\n4,5,4,2\n3,7,6,3\n5,5,8,1\n6,1,9,9\n");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string firstErrorLine; // empty: a report
    };
    const Case cases[] = {
        {{"descriptives", "score", "3"}, ExitSuccess, ""},
        {{"descriptives", "1", "sleep"}, ExitSuccess, ""},
        {{"bootstrap", "--dv", "score", "--predictors", "sleep", "--added", "4"}, ExitSuccess, ""},
        {{"bootstrap", "--dv", "1", "--predictors", "3", "--added", "4"}, ExitSuccess, ""},
        {{"descriptives", "mood"}, ExitUsage, "orvalis-cli: no variable is named mood"},
        {{"bootstrap", "--dv", "score", "--added", "hours"},
         ExitUsage,
         "orvalis-cli: the name hours belongs to more than one variable (2, 4)"},
        {{"bootstrap", "--dv", "score", "--added", "mood,2"}, ExitUsage, "orvalis-cli: no variable is named mood"},
    };
    std::string byName;
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--delimiter", "comma", file};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun r = run(args);
        SCOPED_TRACE(c.args.back());
        EXPECT_EQ(r.status, c.status) << r.err;
        if (c.firstErrorLine.empty()) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.firstErrorLine);
            EXPECT_EQ(r.out, "");
        }
    }
    // By name and by number: the same report.
    const CliRun named = run({"--delimiter", "comma", file, "bootstrap", "--dv", "score", "--predictors", "sleep",
                              "--added", "4", "--seed", "3", "--trials", "50"});
    const CliRun numbered = run({"--delimiter", "comma", file, "bootstrap", "--dv", "1", "--predictors", "3", "--added",
                                 "4", "--seed", "3", "--trials", "50"});
    EXPECT_EQ(named.out, numbered.out);
    EXPECT_NE(named.out.find("Dependent variable: Var1 (score)\nPredictors in reduced model: Var3 (sleep) \n"
                             "Predictors added in full model: Var4 (hours) \n"),
              std::string::npos)
        << named.out;
}

// plan width --details adds the Monte Carlo errors and the Near column;
// without it the block and the JSON are as they were. The record repeats it.
TEST(Cli, PlanWidthDetails)
{
    const std::vector<std::string> plan = {"plan", "width",    "--added",  "1",        "--delta-r2", ".1",
                                           "--n",  "30,60",    "--target-width", ".3", "--datasets", "20",
                                           "--trials", "100",  "--seed",   "3"};
    auto with = [&](const std::vector<std::string>& extra) { return runWith(plan, extra); };
    const CliRun plain = with({});
    const CliRun details = with({"--details"});
    ASSERT_EQ(plain.status, ExitSuccess) << plain.err;
    ASSERT_EQ(details.status, ExitSuccess) << details.err;
    EXPECT_EQ(plain.out.find("MC error"), std::string::npos);
    EXPECT_NE(details.out.find("  Lower 0  P80 MC error  P80 mod. MC error  Near\n"), std::string::npos)
        << details.out;
    EXPECT_NE(details.out.find("\nMC error: the Monte Carlo standard error of the P80 width"), std::string::npos);
    // The lines before the table are the same.
    EXPECT_EQ(details.out.substr(0, details.out.find("\n\nN")), plain.out.substr(0, plain.out.find("\n\nN")));

    const nlohmann::json bare = nlohmann::json::parse(with({"--format", "json"}).out);
    const nlohmann::json full = nlohmann::json::parse(with({"--format", "json", "--details"}).out);
    EXPECT_FALSE(bare["rows"][0].contains("assurance_width_mc_error"));
    ASSERT_TRUE(full["rows"][0].contains("assurance_width_mc_error"));
    EXPECT_GT(full["rows"][0]["assurance_width_mc_error"].get<double>(), 0.0);
    EXPECT_TRUE(full["rows"][1]["near_target"].is_boolean());
    EXPECT_EQ(full["rows"][1]["assurance_width"], bare["rows"][1]["assurance_width"]);

    const CliRun recorded = with({"--details", "--record"});
    EXPECT_NE(recorded.out.find(" --seed 3 --details --record\n"), std::string::npos) << recorded.out;
    EXPECT_EQ(with({"--details", "--details"}).status, ExitUsage);
}

// A list typed with blanks after its commas ("sleep, 4", as a shell passes
// it when quoted) is the list without them, for variables, steps and sample
// sizes; a blank item is still refused.
TEST(Cli, BlanksAroundListItemsAreIgnored)
{
    test::TempDir dir;
    const std::string file = dir.write("n.csv", "\"score\",\"hours\",\"sleep\",\"mood\"\n"
                                                "1,2,7,4\n2,3,5,1\n4,5,4,2\n3,7,6,3\n5,5,8,1\n6,1,9,9\n7,2,3,3\n");
    struct Case {
        std::vector<std::string> spaced;
        std::vector<std::string> tight;
    };
    const Case cases[] = {
        {{"bootstrap", "--dv", "score", "--predictors", "sleep, 2", "--added", " mood ", "--seed", "3", "--trials",
          "50"},
         {"bootstrap", "--dv", "score", "--predictors", "sleep,2", "--added", "mood", "--seed", "3", "--trials", "50"}},
        {{"hierarchical", "--dv", "1", "--step", "hours,\tsleep", "--step", " 4", "--seed", "3", "--trials", "100"},
         {"hierarchical", "--dv", "1", "--step", "hours,sleep", "--step", "4", "--seed", "3", "--trials", "100"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> spaced = {"--delimiter", "comma", file};
        spaced.insert(spaced.end(), c.spaced.begin(), c.spaced.end());
        std::vector<std::string> tight = {"--delimiter", "comma", file};
        tight.insert(tight.end(), c.tight.begin(), c.tight.end());
        const CliRun a = run(spaced);
        const CliRun b = run(tight);
        EXPECT_EQ(a.status, ExitSuccess) << a.err;
        EXPECT_EQ(a.err, "");
        EXPECT_EQ(a.out, b.out);
    }
    const CliRun sizes = run({"plan", "width", "--added", "1", "--delta-r2", ".1", "--n", "40, 60", "--target-width",
                              ".5", "--datasets", "2", "--trials", "20", "--seed", "1", "--format", "json"});
    ASSERT_EQ(sizes.status, ExitSuccess) << sizes.err;
    const nlohmann::json plan = nlohmann::json::parse(sizes.out);
    ASSERT_EQ(plan["rows"].size(), 2u);
    EXPECT_EQ(plan["rows"][1]["n"], 60);
    // An item of blanks alone is no variable.
    EXPECT_EQ(run({"--delimiter", "comma", file, "bootstrap", "--dv", "1", "--added", "2, "}).status, ExitUsage);
}

// Whether text is valid UTF-8 holding no character that acts on a terminal or
// breaks a line in the window's log (only LF may stand raw).
bool safeToShow(const std::string& text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        std::size_t length = byte < 0x80 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC2 ? 2 : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        std::uint32_t c = length == 1 ? byte : byte & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            c = (c << 6) | (next & 0x3F);
        }
        if ((c < 0x20 && c != '\n') || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029) {
            return false;
        }
        i += length;
    }
    return true;
}

// Names are text from a file: decoded to UTF-8 once, shown escaped, never
// executed, never an abort; JSON keeps the decoded name itself.
TEST(Cli, NamesAreShownNeverExecuted)
{
    test::TempDir dir;
    const std::string rows = "1 2 3\n2 1 5\n3 5 4\n4 3 8\n5 4 6\n6 8 9\n7 6 7\n8 9 12\n";
    struct Case {
        const char* what;
        std::string namesLine;
        std::string shownName;   // of variable 2 in the text reports
        std::string decodedName; // in the JSON
    };
    const Case cases[] = {
        {"Latin-1", "y caf\xe9 z\n", "caf\u00e9", "caf\u00e9"},
        {"ESC and BEL", "y \x1b[7mINV\x07 z\n", "\\x1B[7mINV\\x07", "\x1b[7mINV\x07"},
        {"BS, VT, FF and DEL", "y a\x08\x0b\x0c\x7f z\n", "a\\x08\\x0B\\x0C\\x7F", "a\x08\x0b\x0c\x7f"},
        {"line and paragraph separators, C1", "y p\u2028q\u2029r\u0085 z\n", "p\\u2028q\\u2029r\\u0085",
         "p\u2028q\u2029r\u0085"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = dir.write("names.txt", c.namesLine + rows);
        const std::vector<std::string> bootstrap = {file, "bootstrap", "--dv", "1",        "--added",
                                                    "2",  "--seed",    "1",    "--trials", "50"};
        CliRun r = run(bootstrap);
        ASSERT_EQ(r.status, ExitSuccess) << r.err;
        EXPECT_TRUE(safeToShow(r.out));
        EXPECT_NE(r.out.find("Predictors added in full model: Var2 (" + c.shownName + ") \n"), std::string::npos)
            << r.out;
        r = run({file, "descriptives", "2"});
        ASSERT_EQ(r.status, ExitSuccess) << r.err;
        EXPECT_TRUE(safeToShow(r.out));
        EXPECT_NE(r.out.find("Var 2 " + c.shownName + " "), std::string::npos) << r.out;
        r = run({file, "summary"});
        EXPECT_TRUE(safeToShow(r.out));
        std::vector<std::string> json = bootstrap;
        json.insert(json.end(), {"--format", "json"});
        r = run(json);
        ASSERT_EQ(r.status, ExitSuccess) << r.err;
        EXPECT_EQ(nlohmann::json::parse(r.out)["request"]["added"][0]["name"], c.decodedName);
        r = run({file, "descriptives", "2", "--format", "json"});
        ASSERT_EQ(r.status, ExitSuccess) << r.err;
        EXPECT_EQ(nlohmann::json::parse(r.out)["variables"][0]["name"], c.decodedName);
    }

    // A name is cut to 24 characters, never inside one, and the block lines up
    // by display width (a CJK character takes two columns).
    const std::string wide = "\u6e2c\u5b9a\u5024";
    const std::string longName = std::string(23, 'x') + "\u00e9\u00e9";
    const std::string file = dir.write("wide.txt", "y " + wide + " " + longName + "\n" + rows);
    const CliRun r = run({file, "descriptives", "2", "3"});
    ASSERT_EQ(r.status, ExitSuccess) << r.err;
    // The label column: "Var 3 " and 24 characters, and a blank: 31 columns.
    const std::string rule = std::string(81, '-') + "\n";
    EXPECT_EQ(r.out, "DESCRIPTIVES\n" + rule + "Name" + std::string(27, ' ')
                         + "      Mean        SD       Min       Max         N\n" + rule + "Var 2 " + wide
                         + std::string(19, ' ') + "      4.75     2.816         1         9         8\n" + "Var 3 "
                         + std::string(23, 'x') + "\u00e9 " + "      6.75     2.915         3        12         8\n"
                         + rule + "\n\n\n");
}

// A run whose exact p is 0.0499 with five added predictors (tests/data,
// made by make_p04997.R; R's lm gives p = 0.04989615): significant at the 5%
// level, so the modified lower limit is the traditional one. The normal
// approximation rounded to three decimals (0.050) used to say otherwise.
TEST(Cli, TheModifiedLowerLimitFollowsTheExactFTest)
{
    const std::string file = std::string(ORVALIS_TEST_DATA_DIR) + "/p04997.txt";
    const CliRun r = run({file, "bootstrap", "--dv", "1", "--added", "2,3,4,5,6", "--seed", "1", "--details"});
    ASSERT_EQ(r.status, ExitSuccess) << r.err;
    auto after = [&](const std::string& label) {
        const std::size_t at = r.out.find(label);
        return at == std::string::npos ? std::string("(none)")
                                       : r.out.substr(at + label.size(), r.out.find('\n', at) - at - label.size());
    };
    EXPECT_EQ(after("Modified Bootstrap Lower Limit: "), after("Traditional Bootstrap Lower Limit: "));
    EXPECT_NE(after("Traditional Bootstrap Lower Limit: "), "0");
    EXPECT_EQ(after("F test of the added predictors: "),
              "F = 2.504, df1 = 5, df2 = 33, p = 0.0499: significant at the 5% level");
}

// The machine-readable forms: the JSON object read back field by field
// against the run itself, the draws file, and the details after the report.
TEST(Cli, JsonDrawsAndDetails)
{
    test::TempDir dir;
    const std::string study = std::string(ORVALIS_EXAMPLES_DIR) + "/study.txt";
    const std::vector<std::string> request = {study,     "bootstrap", "--dv",   "1", "--predictors", "2,3",
                                              "--added", "4",         "--seed", "7", "--trials",     "300"};
    auto with = [&](const std::vector<std::string>& extra) { return runWith(request, extra); };
    const DataSet data = *ImportDataFile(study, Delimiter::Space);
    BootstrapRequest same;
    same.DependentVariable = 1;
    same.PredictorList = {2, 3};
    same.AddedList = {4};
    same.NumTrials = 300;
    same.Details = true;
    const BootstrapResult expected = *RunBootstrap(same, data, 7);

    const CliRun json = with({"--format", "json"});
    ASSERT_EQ(json.status, ExitSuccess) << json.err;
    const nlohmann::json object = nlohmann::json::parse(json.out);
    EXPECT_EQ(object["seed"], 7);
    // The one version of the project, as --version says it.
    EXPECT_EQ(object["version"], programVersion());
    EXPECT_EQ(versionText(), "orvalis-cli " + std::string(programVersion()) + "\n");
    EXPECT_NE(std::string(programVersion()), "unknown");
    EXPECT_EQ(object["file"], study);
    EXPECT_EQ(object["request"]["dependent"]["number"], 1);
    EXPECT_EQ(object["request"]["added"][0]["number"], 4);
    EXPECT_TRUE(object["request"]["added"][0]["name"].is_null());
    EXPECT_EQ(object["request"]["confidence"], 95);
    EXPECT_EQ(object["cases"]["read"], 240);
    EXPECT_EQ(object["cases"]["complete"], 235);
    EXPECT_EQ(object["trials"]["valid"], expected.NumValid);
    EXPECT_EQ(object["observed"]["reduced_r2"].get<double>(), *expected.ReducedR2);
    EXPECT_EQ(object["observed"]["change_r2"].get<double>(), *expected.DeltaR2);
    const Interval& traditional = *expected.interval(IntervalKind::Traditional);
    EXPECT_EQ(object["limits"]["traditional"]["lower"].get<float>(), static_cast<float>(*traditional.lower));
    EXPECT_EQ(object["limits"]["modified"]["upper"].get<float>(), static_cast<float>(*traditional.upper));
    EXPECT_EQ(object["limits"]["percentile_positions"]["lower"], expected.Positions.lower);
    EXPECT_EQ(object["f_test"]["f"].get<float>(), *expected.FValue);
    EXPECT_EQ(object["f_test"]["df2"], 231);
    EXPECT_EQ(object["f_test"]["p_value_source"], "exact");
    EXPECT_EQ(object["f_test"]["p_value_used"].get<double>(), expected.PValue);
    EXPECT_EQ(object["f_test"]["exact_p"].get<double>(), *expected.Details->ExactP);
    EXPECT_EQ(object["f_test"]["modified_lower_is_zero"], expected.ModifiedLowerIsZero);
    EXPECT_EQ(object["limits"]["modified"]["lower"].get<float>(),
              expected.ModifiedLowerIsZero ? 0.0f : static_cast<float>(*traditional.lower));
    EXPECT_EQ(object["details"]["bca"]["lower"].get<double>(), *expected.interval(IntervalKind::BCa)->lower);
    EXPECT_EQ(object["details"]["standard_error"].get<double>(), *expected.Details->StandardError);

    // No valid trial: the limits are null, not 0 (the text report prints 0).
    // A dummy that is 1 in case 3 of 50 only, and a seed whose three trials
    // never draw case 3 (found from the trials' own streams).
    std::string rare;
    for (int r = 1; r <= 50; ++r) {
        rare += std::to_string((r * 7) % 11) + (r == 3 ? " 1\n" : " 0\n");
    }
    const std::string dummy = dir.write("dummy.txt", rare);
    std::uint64_t seed = 0;
    for (bool drawn = true; drawn;) {
        drawn = false;
        ++seed;
        for (std::uint64_t t = 1; t <= 3 && !drawn; ++t) {
            RandomStream stream(seed, t);
            for (int i = 0; i < 50 && !drawn; ++i) {
                drawn = stream.drawCase(50) == 3;
            }
        }
    }
    const std::vector<std::string> none = {dummy, "bootstrap", "--dv", "1",      "--added",
                                           "2",   "--trials",  "3",    "--seed", std::to_string(seed)};
    std::vector<std::string> noneJson = none;
    noneJson.insert(noneJson.end(), {"--format", "json"});
    const CliRun nulls = run(noneJson);
    ASSERT_EQ(nulls.status, ExitSuccess) << nulls.err;
    const nlohmann::json undefined = nlohmann::json::parse(nulls.out);
    EXPECT_EQ(undefined["trials"]["valid"], 0);
    for (const char* kind : {"traditional", "modified"}) {
        EXPECT_TRUE(undefined["limits"][kind]["lower"].is_null()) << kind;
        EXPECT_TRUE(undefined["limits"][kind]["upper"].is_null()) << kind;
    }
    EXPECT_TRUE(undefined["details"]["bca"]["lower"].is_null());
    EXPECT_NE(run(none).out.find("Traditional Bootstrap Lower Limit: 0\n"), std::string::npos);

    const std::string draws = (dir.path() / "draws.csv").string();
    const CliRun saved = with({"--save-draws", draws});
    ASSERT_EQ(saved.status, ExitSuccess) << saved.err;
    EXPECT_EQ(saved.out, run(request).out); // the report as without the option
    std::ifstream csv(draws);
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "trial,change");
    std::size_t lines = 0;
    while (std::getline(csv, line)) {
        const std::size_t comma = line.find(',');
        ASSERT_EQ(std::stoi(line.substr(0, comma)), expected.DrawTrials[lines]);
        EXPECT_EQ(std::strtod(line.c_str() + comma + 1, nullptr), expected.Draws[lines]);
        ++lines;
    }
    EXPECT_EQ(lines, expected.Draws.size());
    const CliRun unwritable = with({"--save-draws", (dir.path() / "none" / "d.csv").string()});
    EXPECT_EQ(unwritable.status, ExitFailure);
    EXPECT_EQ(unwritable.err.rfind("orvalis-cli: cannot write ", 0), 0u) << unwritable.err;

    const CliRun details = with({"--details"});
    ASSERT_EQ(details.status, ExitSuccess);
    EXPECT_EQ(details.out, run(request).out + toUnixLineEnds(FormatBootstrapDetails(expected, study)));

    const CliRun descriptives = run({study, "descriptives", "1", "--format", "json"});
    const nlohmann::json rows = nlohmann::json::parse(descriptives.out);
    EXPECT_EQ(rows["variables"][0]["n"], 239);
    EXPECT_EQ(rows["variables"][0]["mean"].get<double>(), 62.473);
    EXPECT_EQ(run({study, "descriptives", "1", "--format", "xml"}).status, ExitUsage);
}

using test::liveIn;

// --format apa-markdown with names from the file that would be HTML, a link,
// code or mathematics in the pasted text: each escaped, in the sentence and
// the table of the bootstrap and of the hierarchical command; the plain APA
// form keeps them as they are.
TEST(Cli, ApaMarkdownEscapesNamesFromTheFile)
{
    test::TempDir dir;
    std::string csv = "<img src=x onerror=alert(1)>,[click](http://x.example),`tick` $x$ ~y~\n";
    for (int k = 0; k < 40; ++k) {
        csv += std::to_string(k % 7 + k / 5) + "," + std::to_string(k % 5) + "," + std::to_string((k * 3) % 11) + "\n";
    }
    const std::string file = dir.write("hostile.csv", csv);
    const std::vector<std::vector<std::string>> commands = {
        {"--delimiter", "comma", file, "bootstrap", "--dv", "1", "--added", "2,3", "--trials", "50", "--format",
         "apa-markdown"},
        {"--delimiter", "comma", file, "hierarchical", "--dv", "1", "--step", "2", "--step", "3", "--trials", "50",
         "--format", "apa-markdown"},
    };
    for (const auto& command : commands) {
        const CliRun markdown = run(command);
        ASSERT_EQ(markdown.status, ExitSuccess) << markdown.err;
        EXPECT_NE(markdown.out.find("*Hierarchical Regression of \\<img src=x onerror=alert(1)\\>*"), std::string::npos)
            << markdown.out;
        EXPECT_NE(markdown.out.find("\\[click\\](http://x.example)"), std::string::npos) << markdown.out;
        EXPECT_NE(markdown.out.find("\\`tick\\` \\$x\\$ \\~y\\~"), std::string::npos) << markdown.out;
        for (const char* mark : {"<img", "[click](", "`", "$", "~"}) {
            EXPECT_FALSE(liveIn(markdown.out, mark)) << mark << "\n" << markdown.out;
        }
    }
    std::vector<std::string> plain = commands[0];
    plain.back() = "apa";
    const CliRun text = run(plain);
    ASSERT_EQ(text.status, ExitSuccess) << text.err;
    EXPECT_NE(
        text.out.find("Adding [click](http://x.example) and `tick` $x$ ~y~ to a model without predictors increased"),
        std::string::npos)
        << text.out;
}

// Every target --save-draws must not destroy: refused with exit 1, a message
// naming FILE and why, and the target exactly as it was; or, for targets it
// may write, the draws written without replacing a link or changing modes.
// The APA forms, the record in text and JSON, and their usage errors; the
// forms scripts already use print as before.
TEST(Cli, ApaAndRecord)
{
    const std::string swiss = ORVALIS_TEST_DATA_DIR "/apa/swiss.csv";
    const std::vector<std::string> request = {"--delimiter",  "comma",
                                              swiss,          "bootstrap",
                                              "--dv",         "Fertility",
                                              "--predictors", "Agriculture,Examination",
                                              "--added",      "Education,Catholic,Infant.Mortality",
                                              "--seed",       "12345"};
    auto with = [&](const std::vector<std::string>& extra) { return runWith(request, extra); };
    const CliRun apa = with({"--format", "apa", "--trials", "2000"});
    ASSERT_EQ(apa.status, ExitSuccess) << apa.err;
    // R: F = 12.774967 on 3 and 41, p = 4.9e-06 (tests/data/apa/make_swiss.R).
    EXPECT_EQ(apa.out.rfind("Adding Education, Catholic and Infant.Mortality increased R\u00b2 from .43 to .71, "
                            "\u0394R\u00b2 = .27, 95% CI [",
                            0),
              0u)
        << apa.out;
    EXPECT_NE(apa.out.find("], F(3, 41) = 12.77, p < .001 (percentile bootstrap, 2,000 resamples; Orvalis "),
              std::string::npos);
    EXPECT_NE(apa.out.find("\n\nTable 1\nHierarchical Regression of Fertility\n"), std::string::npos);
    const CliRun markdown = with({"--format", "apa-markdown", "--apa-interval", "modified"});
    ASSERT_EQ(markdown.status, ExitSuccess) << markdown.err;
    EXPECT_NE(markdown.out.find("(modified percentile bootstrap, 600 resamples; Orvalis "), std::string::npos);
    EXPECT_NE(markdown.out.find("|:---|---:|"), std::string::npos);

    const CliRun text = with({"--details", "--record"});
    ASSERT_EQ(text.status, ExitSuccess) << text.err;
    const std::size_t record = text.out.find("Record of the Run\n");
    ASSERT_NE(record, std::string::npos);
    EXPECT_EQ(text.out.substr(0, record), with({"--details"}).out.substr(0, record)); // the blocks before it stay
    EXPECT_NE(text.out.find("Data file size: 1,757 bytes; SHA-256: "
                            "6a79dd1d2cdb9135860ea128ded61cea5c78cf480522d69c0df11d079c858b0a\n"),
              std::string::npos);
    EXPECT_NE(text.out.find("Command line: orvalis-cli --delimiter comma " + swiss
                            + " bootstrap --dv 1 --predictors 2,3 --added 4,5,6 --trials 600 --confidence 95 --seed "
                              "12345 --details --record\n"),
              std::string::npos);
    EXPECT_NE(text.out.find("Note: with 600 trials the 95% limits vary by about"), std::string::npos);
    EXPECT_EQ(with({"--details"}).out.find("Record of the Run"), std::string::npos);

    const CliRun json = with({"--format", "json", "--record"});
    ASSERT_EQ(json.status, ExitSuccess) << json.err;
    const nlohmann::json object = nlohmann::json::parse(json.out);
    EXPECT_EQ(object["record"]["file"]["size"], 1757);
    EXPECT_EQ(object["record"]["file"]["sha256"], "6a79dd1d2cdb9135860ea128ded61cea5c78cf480522d69c0df11d079c858b0a");
    EXPECT_EQ(object["monte_carlo_error"]["large"], true);
    EXPECT_EQ(object["monte_carlo_error"]["advisable_trials"], 2000);
    EXPECT_EQ(object["sample_size"]["needed"], 150);
    EXPECT_GT(object["monte_carlo_error"]["traditional_lower"].get<double>(), 0.0);
    EXPECT_FALSE(nlohmann::json::parse(with({"--format", "json"}).out).contains("record"));

    for (const auto& bad :
         std::vector<std::vector<std::string>>{{"--format", "apa-html"}, {"--apa-interval", "wide"}}) {
        const CliRun refused = with(bad);
        EXPECT_EQ(refused.status, ExitUsage) << bad[1];
        EXPECT_NE(refused.err.find(bad[0] + " must be"), std::string::npos) << refused.err;
    }
}

// The record names the bytes the run read: a data file replaced (other bytes,
// renamed over it) or rewritten between the import and the record has its
// size as imported and "changed since import", never the new file's SHA-256;
// a file left alone keeps its line byte for byte.
TEST(Cli, TheRecordNeverHashesAFileThatChangedSinceTheImport)
{
    test::TempDir dir;
    std::ifstream in(ORVALIS_TEST_DATA_DIR "/apa/swiss.csv", std::ios::binary);
    const std::string swiss(std::istreambuf_iterator<char>(in), {});
    ASSERT_EQ(swiss.size(), 1757u);
    std::string other = swiss;
    other.back() = other.back() == '\n' ? ' ' : '\n';
    const std::string path = dir.write("swiss.csv", swiss);
    // No SHA-256 at all: neither the new bytes' nor (unproven) the old ones'.
    const std::string otherHash = "\nData file size: 1,757 bytes; SHA-256: ";
    auto runWith = [&](const std::vector<std::string>& args, const std::function<void()>& change) {
        dir.write("swiss.csv", swiss);
        std::ostringstream out;
        std::ostringstream err;
        const int status = runCli(args, out, err, change);
        return CliRun{status, out.str(), err.str()};
    };
    const std::vector<std::vector<std::string>> commands = {
        {"--delimiter", "comma", path, "bootstrap", "--dv", "1", "--added", "2", "--trials", "50", "--seed", "1",
         "--record"},
        {"--delimiter", "comma", path, "hierarchical", "--dv", "1", "--step", "2", "--trials", "50", "--seed", "1",
         "--record"},
    };
    const std::function<void()> changes[] = {
        [&] {
            const std::string next = dir.write("next.csv", other);
            ASSERT_EQ(std::rename(next.c_str(), path.c_str()), 0);
        },
        [&] {
            // The same size rewritten in place, at another modification time.
            std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
            file.write(other.data(), static_cast<std::streamsize>(other.size()));
            file.close();
            const timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        },
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args[3]);
        const CliRun kept = runWith(args, {});
        ASSERT_EQ(kept.status, ExitSuccess) << kept.err;
        EXPECT_NE(kept.out.find("\nData file size: 1,757 bytes; SHA-256: "
                                "6a79dd1d2cdb9135860ea128ded61cea5c78cf480522d69c0df11d079c858b0a\n"),
                  std::string::npos)
            << kept.out;
        for (const auto& change : changes) {
            const CliRun changed = runWith(args, change);
            ASSERT_EQ(changed.status, ExitSuccess) << changed.err;
            EXPECT_NE(changed.out.find("\nData file size: 1,757 bytes as imported; SHA-256: changed since import\n"),
                      std::string::npos)
                << changed.out;
            EXPECT_EQ(changed.out.find(otherHash), std::string::npos) << changed.out;
            // The blocks before the record are the ones of the bytes imported.
            EXPECT_EQ(changed.out.substr(0, changed.out.find("Record of the Run")),
                      kept.out.substr(0, kept.out.find("Record of the Run")));

            std::vector<std::string> json = args;
            json.insert(json.end(), {"--format", "json"});
            const CliRun object = runWith(json, change);
            ASSERT_EQ(object.status, ExitSuccess) << object.err;
            const nlohmann::json file = nlohmann::json::parse(object.out)["record"]["file"];
            EXPECT_EQ(file["size"], 1757);
            EXPECT_TRUE(file["sha256"].is_null());
            EXPECT_EQ(file["problem"], "changed since import");
        }
    }
}

// hierarchical and the plans take --record: the blocks before it as they
// were, then the record, whose command line repeats the run digit for digit.
TEST(Cli, HierarchicalRunsAndPlansHaveARecord)
{
    const std::string mtcars = ORVALIS_TEST_DATA_DIR "/hierarchical/mtcars.csv";
    const std::vector<std::string> request = {"--delimiter", "comma",  mtcars,     "hierarchical", "--dv",
                                              "mpg",         "--step", "wt",       "--step",       "am,qsec",
                                              "--seed",      "5",      "--trials", "200",          "--details"};
    auto with = [&](const std::vector<std::string>& extra) { return runWith(request, extra); };
    const CliRun plain = with({});
    const CliRun recorded = with({"--record"});
    ASSERT_EQ(recorded.status, ExitSuccess) << recorded.err;
    const std::size_t block = recorded.out.find("Record of the Run\n");
    ASSERT_NE(block, std::string::npos) << recorded.out;
    EXPECT_EQ(recorded.out.substr(0, block), plain.out);
    const Outcome<FileFingerprint> print = fingerprintFile(mtcars);
    ASSERT_TRUE(print.ok());
    EXPECT_NE(recorded.out.find("\nData file: " + mtcars + "\nData file size: 1,783 bytes; SHA-256: " + print->sha256
                                + "\nCases read: 32; complete cases used: 32\nSeed: 5; trials: 200; level: 95%\n"),
              std::string::npos)
        << recorded.out;
    const std::string commandLine = "orvalis-cli --delimiter comma " + mtcars
                                    + " hierarchical --dv 1 --step 6 --step 7,9 --trials 200 --confidence 95 --seed 5"
                                      " --details --record";
    EXPECT_NE(recorded.out.find("\nCommand line: " + commandLine + "\n"), std::string::npos) << recorded.out;
    // Run again from the record's command line: the same blocks.
    std::vector<std::string> again;
    std::istringstream words(commandLine.substr(std::string("orvalis-cli ").size()));
    for (std::string word; words >> word;) {
        again.push_back(word);
    }
    const CliRun repeated = run(again);
    ASSERT_EQ(repeated.status, ExitSuccess) << repeated.err;
    EXPECT_EQ(repeated.out.substr(0, repeated.out.find("Date: ")), recorded.out.substr(0, recorded.out.find("Date: ")));

    const nlohmann::json object = nlohmann::json::parse(with({"--record", "--format", "json"}).out);
    EXPECT_EQ(object["record"]["file"]["sha256"], print->sha256);
    EXPECT_EQ(object["steps"].size(), 2u);

    // The plans: the matrix file by the bytes read, the seed the plan used.
    test::TempDir dir;
    const std::string matrix = dir.write("r.csv", "1,.5\n.5,1\n");
    const Outcome<FileFingerprint> matrixPrint = fingerprintFile(matrix);
    ASSERT_TRUE(matrixPrint.ok());
    const CliRun width = run({"plan", "width", "--added", "1", "--correlations", matrix, "--n", "40", "--target-width",
                              ".3", "--datasets", "4", "--trials", "50", "--seed", "8", "--record"});
    ASSERT_EQ(width.status, ExitSuccess) << width.err;
    EXPECT_NE(width.out.find("\nCorrelation file: " + matrix
                             + "\nCorrelation file size: 10 bytes; SHA-256: " + matrixPrint->sha256
                             + "\nSeed: 8; trials: 50; level: 95%; data sets per sample size: 4\n"),
              std::string::npos)
        << width.out;
    EXPECT_NE(width.out.find("\nCommand line: orvalis-cli plan width --added 1 --correlations " + matrix
                             + " --datasets 4 --n 40 --target-width .3 --trials 50 --seed 8 --record\n"),
              std::string::npos)
        << width.out;
    const CliRun power =
        run({"plan", "power", "--added", "2", "--f2", ".1", "--n", "50", "--record", "--format", "json"});
    ASSERT_EQ(power.status, ExitSuccess) << power.err;
    const nlohmann::json powerRecord = nlohmann::json::parse(power.out)["record"];
    EXPECT_TRUE(powerRecord["file"].is_null());
    EXPECT_EQ(powerRecord["command_line"], "orvalis-cli plan power --added 2 --f2 .1 --format json --n 50 --record");
    EXPECT_EQ(run({"plan", "power", "--added", "2", "--f2", ".1", "--n", "50", "--record", "--record"}).status,
              ExitUsage);
}

// --correlations FILE is read as a data file is: a directory, a device or a
// file beyond 16 MB is a file error (status 1) naming it, never read without
// end; an entry quoted from it is escaped.
TEST(Cli, TheCorrelationFileIsReadAsADataFileIs)
{
    test::TempDir dir;
    auto plan = [](const std::string& file) {
        return run({"plan", "width", "--added", "1", "--correlations", file, "--n", "40", "--target-width", ".3",
                    "--datasets", "2", "--trials", "20", "--seed", "1"});
    };
    const std::string large = dir.write("large.csv", std::string(16'000'001, ' '));
    const std::string bad = dir.write("bad.csv", "1,.5\n.5,1\x1b[2J\x07\n");
    const struct {
        std::string file;
        std::string error;
    } cases[] = {
        {dir.path().string(), "The file " + dir.path().string() + " could not be read: Is a directory.\n"},
        {"/dev/zero", "The file /dev/zero is a device, not a regular file; only regular files can be imported.\n"},
        {large, "The file " + large + " is larger than the 16.0 MB such a file may have.\n"},
        {bad, "Line 2 of the correlation matrix has \"1\\x1B[2J\\x07\", which is not a number.\n"},
    };
    for (const auto& c : cases) {
        const CliRun r = plan(c.file);
        EXPECT_EQ(r.status, ExitFailure) << c.file;
        EXPECT_EQ(r.err, c.error);
    }
    // A pipe is read once, as data pipes are.
    test::TempDir pipes;
    const std::string cli = ORVALIS_CLI_PATH;
    const CliRun piped = shell(pipes, "printf '1,.5\\n.5,1\\n' | timeout 20 " + cli
                                          + " plan width --added 1 --correlations /dev/stdin --n 40"
                                            " --target-width .3 --datasets 2 --trials 20 --seed 1 --format json");
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_NE(piped.out.find("\"full_r2\": 0.25"), std::string::npos) << piped.out;
}

// --effect-sizes, --robust and --modified-test: the block after the blocks
// that were there before, unchanged; the JSON object with every interval; the
// modified limit that follows the robust test where the two tests part
// (mtcars at 99%, HC4: see test_EffectSizes.cpp), said in the details and the
// record's command line; Alf and Graf's interval in the APA forms; usage errors.
// --coefficients appends the block of both models' coefficients after
// everything a run prints without it; the values are R's:
//   lm(mpg ~ hp + wt + qsec, d) on the data as held in single precision
//   (summary, confint, lm on scale()d data, the VIF; see test_Coefficients.cpp).
TEST(Cli, Coefficients)
{
    const std::string mtcars = ORVALIS_TEST_DATA_DIR "/hierarchical/mtcars.csv";
    const std::vector<std::string> request = {"--delimiter",  "comma", mtcars,    "bootstrap", "--dv",   "mpg",
                                              "--predictors", "hp,wt", "--added", "qsec",      "--seed", "4",
                                              "--trials",     "200"};
    auto with = [&](const std::vector<std::string>& extra) { return runWith(request, extra); };
    const CliRun before = with({"--details", "--effect-sizes"});
    const CliRun after = with({"--details", "--effect-sizes", "--coefficients"});
    ASSERT_EQ(after.status, ExitSuccess) << after.err;
    EXPECT_EQ(after.out.substr(0, before.out.size()), before.out);
    const std::string block = after.out.substr(before.out.size());
    EXPECT_EQ(block.rfind("Coefficients\n-------------------------------------\n"
                          "Reduced model: Var1 (mpg), R^2 = 0.82679, df = 29\n",
                          0),
              0u)
        << block;
    EXPECT_NE(block.find("Full model: Var1 (mpg), R^2 = 0.83477, df = 28\n"
                         "Term         B         SE B     95% CI of B           Beta      t       p         sr^2     "
                         "Tolerance  VIF\n"
                         "(Intercept)  27.61053  8.41993  [10.36309, 44.85798]            3.279   0.00278\n"
                         "Var4 (hp)    -0.01782  0.01498  [-0.04851, 0.01287]   -0.20275  -1.190  0.24418   0.00835  "
                         "0.20317    4.922\n"
                         "Var6 (wt)    -4.35880  0.75270  [-5.90063, -2.81696]  -0.70764  -5.791  3.22E-06  0.19789  "
                         "0.39519    2.530\n"
                         "Var7 (qsec)  0.51083   0.43922  [-0.38887, 1.41054]   0.15146   1.163   0.25463   0.00798  "
                         "0.34797    2.874\n"),
              std::string::npos)
        << block;
    EXPECT_EQ(block.substr(block.size() - 41), "-------------------------------------\n\n\n\n");

    const nlohmann::json object = nlohmann::json::parse(with({"--format", "json", "--coefficients"}).out);
    ASSERT_TRUE(object.contains("coefficients")) << object.dump();
    const nlohmann::json& full = object["coefficients"]["full"];
    EXPECT_EQ(full["df"], 28);
    ASSERT_EQ(full["terms"].size(), 4u);
    const nlohmann::json& wt = full["terms"][2];
    EXPECT_EQ(wt["variable"]["name"], "wt");
    EXPECT_NEAR(wt["b"].get<double>(), -4.3587971987161, 1e-9);
    EXPECT_NEAR(wt["ci"]["lower"].get<double>(), -5.9006342244516, 1e-9);
    EXPECT_NEAR(wt["vif"].get<double>(), 2.53044254384, 1e-9);
    EXPECT_TRUE(full["terms"][0]["variable"].is_null());
    EXPECT_TRUE(full["terms"][0]["beta"].is_null());
    EXPECT_FALSE(nlohmann::json::parse(with({"--format", "json"}).out).contains("coefficients"));
    // Each predictor's bootstrap intervals of beta and sr^2 from the run's
    // trials, BCa ones as the JSON form has the details; none for the intercept.
    EXPECT_FALSE(full["terms"][0].contains("beta_interval"));
    const nlohmann::json& betaInterval = wt["beta_interval"];
    ASSERT_TRUE(betaInterval.contains("percentile")) << wt.dump();
    EXPECT_LT(betaInterval["percentile"]["lower"].get<double>(), wt["beta"].get<double>());
    EXPECT_GT(betaInterval["percentile"]["upper"].get<double>(), wt["beta"].get<double>());
    EXPECT_GT(wt["sr2_interval"]["percentile"]["lower"].get<double>(), 0.0);
    EXPECT_TRUE(wt["sr2_interval"]["bca"]["upper"].is_number());
    // The text's BCa columns come with the details only.
    const std::string plain = with({"--coefficients"}).out;
    EXPECT_NE(plain.find("Term         95% percentile of Beta  95% percentile of sr^2\n"), std::string::npos) << plain;
    // In the text, below each model's table.
    EXPECT_NE(block.find("Var7 (qsec)  0.51083   0.43922  [-0.38887, 1.41054]   0.15146   1.163   0.25463   0.00798  "
                         "0.34797    2.874\n"
                         "Bootstrap intervals from the 200 valid trials:\n"
                         "Term         95% percentile of Beta  95% percentile of sr^2  95% BCa of Beta"),
              std::string::npos)
        << block;

    // The record repeats the option.
    EXPECT_NE(with({"--coefficients", "--record"}).out.find(" --coefficients --record\n"), std::string::npos);
}

// hierarchical --coefficients: each step's model, a categorical variable's
// indicators named by category and reference. R on the data as held
// (single precision): lm(Sepal.Length ~ Sepal.Width + Species, iris) gives
// 2.251393532478, 0.803560812711, 1.458742983854, 1.946816619325.
TEST(Cli, HierarchicalCoefficients)
{
    const std::string iris = ORVALIS_TEST_DATA_DIR "/hierarchical/iris.csv";
    const std::vector<std::string> request = {"--delimiter", "comma",  iris,       "hierarchical", "--dv",
                                              "1",           "--step", "2",        "--step",       "5",
                                              "--seed",      "1",      "--trials", "100"};
    auto with = [&](const std::vector<std::string>& extra) { return runWith(request, extra); };
    const CliRun before = with({});
    const CliRun after = with({"--coefficients"});
    ASSERT_EQ(after.status, ExitSuccess) << after.err;
    EXPECT_EQ(after.out.substr(0, before.out.size()), before.out);
    const std::string block = after.out.substr(before.out.size());
    EXPECT_EQ(block.rfind("Coefficients by Step\n-------------------------------------\n"
                          "Step 1 model: Var1 (Sepal.Length), R^2 = 0.01382, df = 148\n",
                          0),
              0u)
        << block;
    EXPECT_NE(block.find("\nStep 2 model: Var1 (Sepal.Length), R^2 = 0.72591, df = 146\n"), std::string::npos);
    EXPECT_NE(block.find("\nVar5 (Species): versicolor vs setosa  1.45874  0.11211  [1.23718, 1.68031]  0.83322  "
                         "13.012  3.48E-26"),
              std::string::npos)
        << block;

    const nlohmann::json object = nlohmann::json::parse(with({"--format", "json", "--coefficients"}).out);
    const nlohmann::json& last = object["steps"][1]["coefficients"];
    ASSERT_EQ(last["terms"].size(), 4u) << object.dump();
    const double expected[] = {2.251393532478, 0.803560812711, 1.458742983854, 1.946816619325};
    for (std::size_t t = 0; t < 4; ++t) {
        EXPECT_NEAR(last["terms"][t]["b"].get<double>(), expected[t], 1e-9) << t;
    }
    EXPECT_EQ(last["terms"][3]["category"], "virginica");
    EXPECT_TRUE(last["terms"][1]["category"].is_null());
    EXPECT_EQ(object["steps"][0]["coefficients"]["terms"].size(), 2u);
    EXPECT_FALSE(nlohmann::json::parse(with({"--format", "json"}).out)["steps"][0].contains("coefficients"));
}

// A line of an aligned table as its cells: the text between runs of two or more blanks.
std::vector<std::string> cellsOfLine(const std::string& text, const std::string& start)
{
    const std::size_t at = text.find("\n" + start);
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t begin = text.find_first_not_of(' ', at + 1);
    const std::string line = text.substr(begin, text.find('\n', begin) - begin);
    std::vector<std::string> cells;
    std::size_t k = 0;
    while (k < line.size()) {
        std::size_t gap = line.find("  ", k);
        cells.push_back(line.substr(k, gap == std::string::npos ? std::string::npos : gap - k));
        if (gap == std::string::npos) {
            break;
        }
        k = line.find_first_not_of(' ', gap);
    }
    return cells;
}

// --format apa with --coefficients: the same sentence, then the hierarchical
// regression table with each model's terms (R's values of the data: see
// Cli.Coefficients and Cli.HierarchicalCoefficients), B's interval or sr^2.
TEST(Cli, ApaCoefficients)
{
    const std::string mtcars = ORVALIS_TEST_DATA_DIR "/hierarchical/mtcars.csv";
    const std::vector<std::string> request = {"--delimiter",  "comma", mtcars,    "bootstrap", "--dv",   "mpg",
                                              "--predictors", "hp,wt", "--added", "qsec",      "--seed", "4",
                                              "--trials",     "200"};
    auto with = [&](const std::vector<std::string>& extra) { return runWith(request, extra); };
    const CliRun before = with({"--format", "apa"});
    const CliRun after = with({"--format", "apa", "--coefficients"});
    ASSERT_EQ(after.status, ExitSuccess) << after.err;
    const std::string sentence = before.out.substr(0, before.out.find("\n\n") + 2);
    EXPECT_EQ(after.out.substr(0, sentence.size()), sentence);
    const std::string table = after.out.substr(sentence.size());
    EXPECT_EQ(table.rfind("Table 1\nHierarchical Regression of mpg\n", 0), 0u) << table;
    EXPECT_NE(table.find("\nVariable    B "), std::string::npos) << table;
    EXPECT_NE(table.find("\nStep 1\n  Constant "), std::string::npos) << table;
    using Cells = std::vector<std::string>;
    EXPECT_EQ(cellsOfLine(table, "Variable"), (Cells{"Variable", "B", "SE B", "\u03b2", "t", "p", "95% CI [LL, UL]"}));
    EXPECT_EQ(cellsOfLine(table.substr(table.find("\nStep 2\n")), "  wt "),
              (Cells{"wt", "-4.36", "0.75", "-.71", "-5.79", "< .001", "[-5.90, -2.82]"}))
        << table;
    EXPECT_EQ(cellsOfLine(table, "  qsec "), (Cells{"qsec", "0.51", "0.44", ".15", "1.16", ".255", "[-0.39, 1.41]"}));
    // lm(mpg ~ hp + wt): wt -3.87783, SE 0.63273, t -6.129.
    const Cells reducedWt = cellsOfLine(table, "  wt ");
    ASSERT_GE(reducedWt.size(), 5u) << table;
    EXPECT_EQ(reducedWt[1], "-3.88");
    EXPECT_EQ(reducedWt[4], "-6.13");
    EXPECT_NE(table.find("\n  R\u00b2 = .83, \u0394R\u00b2 = .01, 95% CI ["), std::string::npos) << table;
    EXPECT_NE(table.find("], F(1, 28) = 1.35, p = .255\n"), std::string::npos) << table;

    const CliRun sr2 = with({"--format", "apa", "--coefficients", "--apa-coefficient-column", "sr2"});
    ASSERT_EQ(sr2.status, ExitSuccess) << sr2.err;
    EXPECT_EQ(cellsOfLine(sr2.out, "Variable"), (Cells{"Variable", "B", "SE B", "\u03b2", "t", "p", "sr\u00b2"}));
    EXPECT_EQ(cellsOfLine(sr2.out.substr(sr2.out.find("\nStep 2\n")), "  wt "),
              (Cells{"wt", "-4.36", "0.75", "-.71", "-5.79", "< .001", ".20"}));
    // Without --coefficients the choice changes nothing.
    EXPECT_EQ(with({"--format", "apa", "--apa-coefficient-column", "sr2"}).out, before.out);

    const CliRun markdown = with({"--format", "apa-markdown", "--coefficients"});
    EXPECT_NE(markdown.out.find("\n| Variable | *B* | *SE B* | \u03b2 | *t* | *p* | 95% CI [*LL*, *UL*] |\n"),
              std::string::npos)
        << markdown.out;
    EXPECT_NE(markdown.out.find("\n| wt | -4.36 | 0.75 | -.71 | -5.79 | < .001 | [-5.90, -2.82] |\n"),
              std::string::npos)
        << markdown.out;

    // hierarchical: each step's model, an indicator named by its category and the reference.
    const std::string iris = ORVALIS_TEST_DATA_DIR "/hierarchical/iris.csv";
    const CliRun steps = run({"--delimiter", "comma", iris, "hierarchical", "--dv", "1", "--step", "2", "--step", "5",
                              "--seed", "1", "--trials", "100", "--format", "apa", "--coefficients"});
    ASSERT_EQ(steps.status, ExitSuccess) << steps.err;
    EXPECT_EQ(cellsOfLine(steps.out, "  Species: versicolor vs setosa"),
              (Cells{"Species: versicolor vs setosa", "1.46", "0.11", ".83", "13.01", "< .001", "[1.24, 1.68]"}))
        << steps.out;
    EXPECT_NE(steps.out.find("\nStep 2\n  Constant "), std::string::npos);
}

// A condition stored the SPSS way (codes 1/2/3 with the value labels control,
// mindfulness, exercise; tests/data/make_labelled_condition.R writes the file
// with haven). Declared categorical, it enters as two indicators, and both
// commands give R's factor model:
//   r <- haven::read_sav("labelled_condition.sav")
//   reduced <- lm(y ~ age + gender, data = r)
//   full <- lm(y ~ age + gender + factor(condition), data = r)
//   anova(reduced, full)
// R^2 0.4056581915 and 0.4964840620, change 0.0908258705, F = 4.9605409695 on
// 2 and 55 df, p = 0.01045600701; entered as one number (as.numeric(condition))
// the change is 0.0826946643, F = 9.0509665717 on 1 and 56 df.
// coef(full): factor(condition)2 1.05237094, factor(condition)3 1.35617155;
// with exercise as the reference, control -1.35617155, mindfulness -0.30380060.
TEST(Cli, DeclaredCategoricalPredictor)
{
    const std::string sav = ORVALIS_TEST_DATA_DIR "/labelled_condition.sav";
    const std::vector<std::string> pair = {sav,       "bootstrap", "--dv",   "y", "--predictors", "age,gender",
                                           "--added", "condition", "--seed", "1", "--trials",     "200"};
    const std::vector<std::string> steps = {sav,      "hierarchical", "--dv",   "y", "--step",   "age,gender",
                                            "--step", "condition",    "--seed", "1", "--trials", "200"};
    const auto& with = runWith;
    const std::string genderWarning =
        "Warning: Var3 (gender) has value labels and enters as a number; declare it categorical (--categorical "
        "gender, or the Categorical mark in the hierarchical window) to enter its categories.\n";
    const std::string conditionWarning =
        "Warning: Var4 (condition) has value labels and enters as a number; declare it categorical (--categorical "
        "condition, or the Categorical mark in the hierarchical window) to enter its categories.\n";

    // Undeclared: one number, as before, and a warning line for each labelled predictor.
    const CliRun numeric = with(pair, {});
    ASSERT_EQ(numeric.status, ExitSuccess) << numeric.err;
    EXPECT_NE(numeric.out.find("\nChange in R^2: 0.08269\n"), std::string::npos) << numeric.out;
    EXPECT_NE(numeric.out.find("\nF-value: 9.051(df1 = 1, df2 = 56)\n"), std::string::npos) << numeric.out;
    EXPECT_NE(numeric.out.find("Number of valid robust D bootstrap trials = 200\n\n\n\n\n\n" + genderWarning
                               + conditionWarning + "\n\n\n"),
              std::string::npos)
        << numeric.out;
    EXPECT_EQ(numeric.err, "");
    const CliRun numericSteps = with(steps, {});
    ASSERT_EQ(numericSteps.status, ExitSuccess) << numericSteps.err;
    EXPECT_NE(numericSteps.out.find("\n2     0.48835  0.08269  "), std::string::npos) << numericSteps.out;
    EXPECT_NE(numericSteps.out.find(genderWarning + conditionWarning), std::string::npos) << numericSteps.out;
    // The forms without a place for it say it on stderr, the output left as it is.
    const CliRun json = with(pair, {"--format", "json"});
    ASSERT_EQ(json.status, ExitSuccess);
    EXPECT_EQ(json.err, genderWarning + conditionWarning);
    EXPECT_TRUE(nlohmann::json::accept(json.out));
    EXPECT_FALSE(nlohmann::json::parse(json.out)["request"].contains("columns")); // no indicators

    // Declared: the factor model, in both commands, the reference by label or by value.
    const CliRun declared = with(pair, {"--categorical", "condition", "--reference", "condition=control"});
    ASSERT_EQ(declared.status, ExitSuccess) << declared.err;
    EXPECT_NE(declared.out.find("\nReduced Model R^2: 0.40566\nFull Model R^2: 0.49648\nChange in R^2: 0.09083\n"),
              std::string::npos)
        << declared.out;
    EXPECT_NE(declared.out.find("\nF-value: 4.961(df1 = 2, df2 = 55)\n"), std::string::npos) << declared.out;
    EXPECT_NE(declared.out.find("\nPredictors added in full model: Var4 (condition) \n"), std::string::npos);
    EXPECT_NE(declared.out.find(genderWarning), std::string::npos);
    EXPECT_EQ(declared.out.find(conditionWarning), std::string::npos);
    EXPECT_EQ(with(pair, {"--categorical", "condition", "--reference", "condition=1"}).out, declared.out);
    EXPECT_EQ(with(pair, {"--categorical", "condition"}).out, declared.out);
    EXPECT_EQ(with(pair, {"--categorical=4"}).out, declared.out);
    const CliRun declaredSteps = with(steps, {"--categorical", "condition", "--reference", "condition=1"});
    ASSERT_EQ(declaredSteps.status, ExitSuccess) << declaredSteps.err;
    EXPECT_NE(declaredSteps.out.find("\nStep 2 adds: Var4 (condition): mindfulness, exercise vs control\n"),
              std::string::npos)
        << declaredSteps.out;
    EXPECT_NE(declaredSteps.out.find("\n2     0.49648  0.09083  200    "), std::string::npos) << declaredSteps.out;
    EXPECT_NE(declaredSteps.out.find("  4.961     2    55   0.01046\n"), std::string::npos) << declaredSteps.out;
    EXPECT_EQ(with(steps, {"--categorical", "condition", "--reference", "condition=control"}).out, declaredSteps.out);
    // The exact test and the numbers in JSON, against R's.
    const nlohmann::json object =
        nlohmann::json::parse(with(steps, {"--categorical", "condition", "--format", "json"}).out);
    const nlohmann::json& step2 = object["steps"][1];
    EXPECT_NEAR(step2["r2"].get<double>(), 0.4964840620, 1e-6) << step2.dump();
    EXPECT_NEAR(step2["change_r2"].get<double>(), 0.0908258705, 1e-6);
    EXPECT_NEAR(step2["f"].get<double>(), 4.9605409695, 1e-4);
    EXPECT_EQ(step2["df1"], 2);
    EXPECT_EQ(step2["df2"], 55);
    EXPECT_NEAR(step2["p"].get<double>(), 0.01045600701, 1e-6);

    // The indicators in the coefficients, against another reference.
    const CliRun exercise =
        with(pair, {"--categorical", "condition", "--reference", "condition=exercise", "--coefficients"});
    ASSERT_EQ(exercise.status, ExitSuccess) << exercise.err;
    EXPECT_NE(exercise.out.find("\nVar4 (condition): control vs exercise      -1.35617  "), std::string::npos)
        << exercise.out;
    EXPECT_NE(exercise.out.find("\nVar4 (condition): mindfulness vs exercise  -0.30380  "), std::string::npos);
    EXPECT_NE(exercise.out.find("\nF-value: 4.961(df1 = 2, df2 = 55)\n"), std::string::npos);
    EXPECT_EQ(with(pair, {"--categorical", "condition", "--reference", "condition=3", "--coefficients"}).out,
              exercise.out);
    const nlohmann::json declaredJson = nlohmann::json::parse(
        with(pair, {"--categorical", "condition", "--reference", "condition=exercise", "--format", "json"}).out);
    // The request's columns: each indicator by its category against the reference.
    const nlohmann::json& columns = declaredJson["request"]["columns"];
    ASSERT_EQ(columns.size(), 4u) << declaredJson["request"].dump();
    EXPECT_TRUE(columns[0]["category"].is_null());
    EXPECT_EQ(columns[2]["variable"], 4);
    EXPECT_EQ(columns[2]["category"], "control");
    EXPECT_EQ(columns[3]["category"], "mindfulness");
    EXPECT_EQ(columns[3]["reference"], "exercise");
    const nlohmann::json terms =
        nlohmann::json::parse(with(pair, {"--categorical", "condition", "--coefficients", "--format", "json"})
                                  .out)["coefficients"]["full"]["terms"];
    ASSERT_EQ(terms.size(), 5u) << terms.dump();
    EXPECT_EQ(terms[3]["category"], "mindfulness");
    EXPECT_NEAR(terms[3]["b"].get<double>(), 1.05237094, 1e-5);
    EXPECT_EQ(terms[4]["category"], "exercise");
    EXPECT_NEAR(terms[4]["b"].get<double>(), 1.35617155, 1e-5);
    // The record's command line repeats the declaration and the reference.
    EXPECT_NE(with(pair, {"--categorical", "condition", "--reference", "condition=1", "--record"})
                  .out.find(" --added 4 --categorical 4 --reference 4=control --trials 200 "),
              std::string::npos);

    // Refusals: an unknown variable (a usage error), the dependent variable,
    // too many categories, a category the variable does not have.
    const struct {
        std::vector<std::string> extra;
        int status;
        std::string error;
    } refusals[] = {
        {{"--categorical", "mood"}, ExitUsage, "orvalis-cli: no variable is named mood\n"},
        {{"--categorical", "7"}, ExitUsage, "orvalis-cli: Var 7 is not in the data (it has 4 variables)\n"},
        {{"--categorical", "y"},
         ExitFailure,
         "Var 1 (y) is the dependent variable; only a predictor can be declared categorical.\n"},
        {{"--categorical", "age"},
         ExitFailure,
         "Var 2 (age) has more than 25 different values; a categorical predictor has at most 25 categories (24 "
         "indicator columns).\n"},
        {{"--categorical", "condition", "--reference", "condition=placebo"},
         ExitUsage,
         "orvalis-cli: --reference: Var 4 has no category placebo\n"},
        {{"--categorical", "condition", "--reference", "condition=4"},
         ExitUsage,
         "orvalis-cli: --reference: Var 4 has no category 4\n"},
        {{"--reference", "condition=control"}, ExitUsage, "orvalis-cli: --reference: Var 4 has no category control\n"},
        {{"--categorical", "condition", "--reference", "age=1"},
         ExitFailure,
         "A reference category is given for Var 2 (age), which is not a categorical predictor of the model.\n"},
    };
    for (const auto& c : refusals) {
        for (const std::vector<std::string>* command : {&pair, &steps}) {
            const CliRun r = with(*command, c.extra);
            EXPECT_EQ(r.status, c.status) << c.error;
            EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), c.error) << (*command)[1];
            EXPECT_EQ(r.out, "");
        }
    }
}

// The README's results section: examples/trial.sav (SPSS labelled codes),
// three steps with gender and condition declared categorical, the APA
// paragraph and coefficients table. R (examples/make_trial.R):
//   lm(wellbeing ~ age + gender + condition + neuroticism + conscientiousness), codes as factors:
//   B 40.7274408 0.1061974 1.8390780 3.1047108 2.7178435 -3.1293202 2.2034681;
//   confint of the constant [35.28237884, 46.1725028]; R^2 .08483, .12482, .27382.
TEST(Cli, TheReadmeResultsSection)
{
    const CliRun apa =
        run({ORVALIS_EXAMPLES_DIR "/trial.sav", "hierarchical", "--dv", "wellbeing", "--step", "age,gender", "--step",
             "condition", "--step", "neuroticism,conscientiousness", "--categorical", "gender,condition", "--seed",
             "20261210", "--trials", "2000", "--coefficients", "--format", "apa"});
    ASSERT_EQ(apa.status, ExitSuccess) << apa.err;
    EXPECT_EQ(apa.err, "");
    EXPECT_EQ(apa.out.rfind("In Step 1, age and gender accounted for R\u00b2 = .08, ", 0), 0u) << apa.out;
    EXPECT_NE(apa.out.find("Adding neuroticism and conscientiousness in Step 3 changed R\u00b2 to .27, "),
              std::string::npos);
    const std::string step3 = apa.out.substr(apa.out.find("\nStep 3\n"));
    using Cells = std::vector<std::string>;
    EXPECT_EQ(cellsOfLine(step3, "  Constant"),
              (Cells{"Constant", "40.73", "2.76", "14.73", "< .001", "[35.28, 46.17]"}));
    const std::vector<std::pair<std::string, std::string>> slopes = {{"  age ", "0.106"},
                                                                     {"  gender: female vs male", "1.84"},
                                                                     {"  condition: mindfulness vs control", "3.10"},
                                                                     {"  condition: exercise vs control", "2.72"},
                                                                     {"  neuroticism", "-3.13"},
                                                                     {"  conscientiousness", "2.20"}};
    for (const auto& [term, b] : slopes) {
        const Cells cells = cellsOfLine(step3, term);
        ASSERT_GE(cells.size(), 2u) << term << "\n" << step3;
        EXPECT_EQ(cells[1], b) << term;
    }
    EXPECT_NE(step3.find("\n  R\u00b2 = .27, \u0394R\u00b2 = .15, "), std::string::npos);
    // The import summary names the numbers that carry value labels.
    const CliRun summary = run({ORVALIS_EXAMPLES_DIR "/trial.sav", "summary"});
    EXPECT_NE(summary.out.find("\nValue labels on numbers: gender, condition. A model takes each as one number unless "
                               "it is declared categorical (--categorical, or the Categorical mark in the hierarchical "
                               "window).\n"),
              std::string::npos)
        << summary.out;
    // Undeclared, the labelled codes enter as numbers, and the run says so.
    const CliRun undeclared = run({ORVALIS_EXAMPLES_DIR "/trial.sav", "hierarchical", "--dv", "wellbeing", "--step",
                                   "age,gender", "--step", "condition", "--trials", "200"});
    ASSERT_EQ(undeclared.status, ExitSuccess) << undeclared.err;
    EXPECT_NE(undeclared.out.find("Warning: Var4 (condition) has value labels and enters as a number;"),
              std::string::npos)
        << undeclared.out;
}

// --center: the predictors named are centred at their means over the
// complete cases; the slopes and every R^2 stay, the intercept is the
// dependent variable's where they are at their means. R, on the data as held
// (single precision, as in Cli.Coefficients):
//   d$hpc <- d$hp - mean(d$hp); d$wtc <- d$wt - mean(d$wt)
//   m2 <- lm(mpg ~ hpc + wtc + qsec, d): intercept 10.97288513985, SE 7.85278948910,
//   confint [-5.11282493264, 27.05859521234]; lm(mpg ~ hpc + wtc): 20.0906249881, SE 0.458454808892;
//   mean(d$hp) 146.6875, mean(d$wt) 3.21724998951.
TEST(Cli, HierarchicalCentring)
{
    const std::string mtcars = ORVALIS_TEST_DATA_DIR "/hierarchical/mtcars.csv";
    const std::vector<std::string> request = {"--delimiter", "comma",  mtcars,     "hierarchical", "--dv",
                                              "mpg",         "--step", "wt,hp",    "--step",       "qsec",
                                              "--seed",      "1",      "--trials", "200",          "--coefficients"};
    auto with = [&](const std::vector<std::string>& extra) { return runWith(request, extra); };
    const CliRun plain = with({});
    const CliRun centred = with({"--center", "hp,wt"});
    ASSERT_EQ(centred.status, ExitSuccess) << centred.err;
    // The report before the coefficients is the same: no R^2 changes.
    const std::size_t block = plain.out.find("Coefficients by Step\n");
    ASSERT_NE(block, std::string::npos);
    EXPECT_EQ(centred.out.substr(0, block), plain.out.substr(0, block));
    EXPECT_NE(centred.out.find("Coefficients by Step\n-------------------------------------\n"
                               "Centred at their means in the complete cases: Var4 (hp) 146.6875, Var6 (wt) 3.21725\n"),
              std::string::npos)
        << centred.out;
    EXPECT_NE(centred.out.find("\n(Intercept)  20.09062  0.45845  [19.15298, 21.02827]"), std::string::npos)
        << centred.out;
    EXPECT_NE(centred.out.find("\n(Intercept)  10.97289  7.85279  [-5.11282, 27.05860]"), std::string::npos);
    EXPECT_NE(centred.out.find("\nVar6 (wt)    -4.35880  0.75270  [-5.90063, -2.81696]"), std::string::npos);

    const nlohmann::json object = nlohmann::json::parse(with({"--center", "wt", "--format", "json"}).out);
    ASSERT_EQ(object["centred"].size(), 1u) << object.dump();
    EXPECT_EQ(object["centred"][0]["variable"]["name"], "wt");
    EXPECT_NEAR(object["centred"][0]["mean"].get<double>(), 3.21724998951, 1e-9);
    // lm(mpg ~ hp + wtc + qsec, d): intercept 13.5871903276.
    EXPECT_NEAR(object["steps"][1]["coefficients"]["terms"][0]["b"].get<double>(), 13.5871903276, 1e-8);
    EXPECT_FALSE(nlohmann::json::parse(with({"--format", "json"}).out).contains("centred"));
    EXPECT_NE(with({"--center", "hp,wt", "--record"}).out.find(" --step 4,6 --step 7 --center 4,6 --trials 200 "),
              std::string::npos);

    // Only a numeric predictor of the model is centred.
    for (const auto& [extra, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--center", "cyl"}, "Var 2 (cyl) is to be centred, but it is not a numeric predictor of the model.\n"},
             {{"--step", "am", "--center", "am", "--categorical", "am"},
              "Var 9 (am) is to be centred, but it is not a numeric predictor of the model.\n"}}) {
        const CliRun refused = with(extra);
        EXPECT_EQ(refused.status, ExitFailure) << message;
        EXPECT_EQ(refused.err, message);
    }
}

// Moderation on examples/moderation.csv; every number is R's (examples/make_moderation.R): the slopes of
// stress at support's mean and one SD either side from lm(wellbeing ~ stress_c * support_c) and its vcov, and
// the Johnson-Neyman roots of the quadratic.
TEST(Cli, Moderation)
{
    const std::vector<std::string> request = {"--delimiter",
                                              "comma",
                                              ORVALIS_EXAMPLES_DIR "/moderation.csv",
                                              "hierarchical",
                                              "--dv",
                                              "wellbeing",
                                              "--step",
                                              "stress,support",
                                              "--step",
                                              "stress*support",
                                              "--seed",
                                              "1",
                                              "--trials",
                                              "500"};
    auto with = [&](const std::vector<std::string>& extra) { return runWith(request, extra); };
    const CliRun plain = with({});
    const CliRun slopes = with({"--center", "support", "--slopes", "stress@support"});
    ASSERT_EQ(slopes.status, ExitSuccess) << slopes.err;
    // The slopes add a block after the report; nothing before it changes.
    EXPECT_EQ(slopes.out.substr(0, plain.out.size()), plain.out);
    EXPECT_NE(plain.out.find("Step 2 adds: Var2 (stress) * Var3 (support)\n"), std::string::npos) << plain.out;
    const std::string block = slopes.out.substr(plain.out.size());
    EXPECT_EQ(block.rfind("Simple Slopes of Var2 (stress) at Var3 (support)\n", 0), 0u) << block;
    for (const char* line :
         {"Var3 (support): mean 3.48761, standard deviation 0.97283, centred at its mean.\n",
          "\nmean - 1 SD     2.51478  -1.15809  0.08871  [-1.33317, -0.98300]  -13.054  1.13E-27  [",
          "\nmean            3.48761  -0.78719  0.06789  [-0.92116, -0.65321]  -11.595  1.85E-23  [",
          "\nmean + 1 SD     4.46044  -0.41629  0.09944  [-0.61254, -0.22003]  -4.186   4.48E-05  [",
          "\nJohnson-Neyman: The slope of Var2 (stress) is significant at the 5% level for Var3 (support) below "
          "4.91295 and above 6.79129; Var3 (support) ranges from 1.08000 to 5.97000 (a value beyond that range is an "
          "extrapolation).\n"}) {
        EXPECT_NE(block.find(line), std::string::npos) << line << "\n" << block;
    }

    const nlohmann::json object = nlohmann::json::parse(
        with({"--slopes", "stress@support", "--slopes-at", "support=2,5", "--format", "json"}).out);
    ASSERT_TRUE(object.contains("moderation")) << object.dump();
    const nlohmann::json& moderation = object["moderation"];
    EXPECT_EQ(moderation["step"], 2);
    ASSERT_EQ(moderation["slopes"].size(), 2u);
    EXPECT_EQ(moderation["slopes"][1]["at"], "given");
    EXPECT_EQ(moderation["slopes"][1]["value"], 5.0);
    EXPECT_NEAR(moderation["slopes"][1]["b"].get<double>(), -0.2105729, 1e-6);
    EXPECT_NEAR(moderation["johnson_neyman"]["bounds"][0].get<double>(), 4.912952806, 1e-6);
    EXPECT_NEAR(moderation["johnson_neyman"]["bounds"][1].get<double>(), 6.791288864, 1e-6);
    EXPECT_EQ(object["steps"][1]["products"][0][1]["name"], "support");
    EXPECT_EQ(object["steps"][1]["columns"][0]["by"]["variable"], 3);
    EXPECT_FALSE(nlohmann::json::parse(with({"--format", "json"}).out).contains("moderation"));
    EXPECT_FALSE(nlohmann::json::parse(with({"--format", "json"}).out)["steps"][0].contains("products"));

    // The record repeats the products and the slopes.
    EXPECT_NE(with({"--center", "support", "--slopes", "stress@support", "--slopes-at", "support=2.5,4", "--record"})
                  .out.find(" --step 2,3 --step 2*3 --center 3 --slopes 2@3 --slopes-at 3=2.5,4 --trials 500 "),
              std::string::npos);

    // The APA results: the slopes and the Johnson-Neyman values after the steps.
    const std::string apa = with({"--slopes", "stress@support", "--format", "apa"}).out;
    EXPECT_NE(apa.find("Adding stress \u00d7 support in Step 2 changed R\u00b2 to .54, \u0394R\u00b2 = .08, 95% CI ["),
              std::string::npos)
        << apa;
    EXPECT_NE(apa.find(" The simple slope of stress was b = -1.16, 95% CI [-1.33, -0.98], p < .001, at one SD below "
                       "the mean of support (2.51); b = -0.79, 95% CI [-0.92, -0.65], p < .001, at its mean (3.49); "
                       "and b = -0.42, 95% CI [-0.61, -0.22], p < .001, at one SD above it (4.46). By the "
                       "Johnson-Neyman technique, the slope of stress was significant at the 5% level for support "
                       "below 4.91 and above 6.79; support ranged from 1.08 to 5.97"),
              std::string::npos)
        << apa;

    // What the command line refuses before reading the data, and what the run refuses.
    for (const auto& [extra, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--slopes-at", "support=1"}, "orvalis-cli: --slopes-at needs --slopes"},
             {{"--step", "stress*"}, "orvalis-cli: --step takes a product of two variables as VAR*VAR: stress*"},
             {{"--step", "stress*support*stress"},
              "orvalis-cli: --step takes a product of two variables as VAR*VAR: stress*support*stress"},
             {{"--slopes", "stress"}, "orvalis-cli: --slopes must be FOCAL@MODERATOR: stress"},
             {{"--slopes", "stress@support", "--slopes-at", "support=1,x"},
              "orvalis-cli: --slopes-at takes numbers after VAR=: x"},
             {{"--slopes", "stress@support", "--slopes-at", "stress=1"},
              "orvalis-cli: --slopes-at names the moderator of --slopes"}}) {
        const CliRun refused = with(extra);
        EXPECT_EQ(refused.status, ExitUsage) << message;
        EXPECT_EQ(refused.err.substr(0, refused.err.find('\n')), message);
    }
    const CliRun noProduct = runWith({"--delimiter", "comma", ORVALIS_EXAMPLES_DIR "/moderation.csv", "hierarchical",
                                      "--dv", "wellbeing", "--step", "stress*support"},
                                     {});
    EXPECT_EQ(noProduct.status, ExitFailure);
    EXPECT_EQ(noProduct.err, "The product Var 2 (stress) * Var 3 (support) in step 1 needs Var 2 (stress) in the "
                             "model: enter it in step 1 or a step before it.\n");

    // A variable whose name holds a '*' is still that variable in a step, as it was before products.
    test::TempDir dir;
    const std::string starred = dir.write("starred.csv", "y,a*b,c\n1,2,3\n2,3,1\n3,5,2\n4,4,4\n5,7,3\n6,6,7\n");
    const CliRun named = run({"--delimiter", "comma", starred, "hierarchical", "--dv", "y", "--step", "a*b", "--step",
                              "c", "--trials", "50", "--seed", "1"});
    ASSERT_EQ(named.status, ExitSuccess) << named.err;
    EXPECT_NE(named.out.find("Step 1 adds: Var2 (a*b)\nStep 2 adds: Var3 (c)\n"), std::string::npos) << named.out;
}

// The dominance analysis on mtcars; the weights are R's all-subsets ones (tests/data/dominance/check_dominance.R).
TEST(Cli, Dominance)
{
    const std::string mtcars = ORVALIS_TEST_DATA_DIR "/hierarchical/mtcars.csv";
    const std::vector<std::string> request = {"--delimiter", "comma",  mtcars, "dominance", "--dv",
                                              "mpg",         "--seed", "1",    "--trials",  "300"};
    auto with = [&](const std::vector<std::string>& extra) { return runWith(request, extra); };
    const CliRun text = with({"--units", "wt,hp,qsec,am"});
    ASSERT_EQ(text.status, ExitSuccess) << text.err;
    for (const char* line :
         {"Results of Dominance Analysis\n-------------------------------------\n"
          "Dependent variable: Var1 (mpg)\nUnits: Var6 (wt); Var4 (hp); Var7 (qsec); Var9 (am)\n",
          "\nR^2 of the full model: 0.85785\n", "\nVar6 (wt)    0.34622  0.40360  [",
          "\nVar9 (am)    0.35980  0.23038  0.06254  0.02308\n", "\nVar6 (wt)    Var7 (qsec)  dominates     "}) {
        EXPECT_NE(text.out.find(line), std::string::npos) << line << "\n" << text.out;
    }
    // A group and a covariate; the JSON.
    const nlohmann::json object = nlohmann::json::parse(
        with({"--units", "wt", "--group", "engine=hp,qsec", "--covariates", "cyl", "--format", "json"}).out);
    ASSERT_EQ(object["units"].size(), 2u) << object.dump();
    EXPECT_EQ(object["units"][1]["name"], "engine");
    EXPECT_EQ(object["units"][1]["variables"][1]["name"], "qsec");
    EXPECT_EQ(object["covariates"][0]["name"], "cyl");
    const double general = object["units"][0]["general"].get<double>() + object["units"][1]["general"].get<double>();
    // R: summary(lm(mpg ~ cyl + wt + hp + qsec))$r.squared - summary(lm(mpg ~ cyl))$r.squared
    EXPECT_NEAR(general, 0.84439416612 - 0.72617996396, 1e-6);
    EXPECT_NEAR(object["model"]["covariates_r2"].get<double>(), 0.72617996396, 1e-6);
    EXPECT_EQ(object["pairs"].size(), 1u);
    EXPECT_TRUE(object["units"][0]["general_interval"]["percentile"]["lower"].is_number());

    for (const auto& [extra, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{}, "orvalis-cli: dominance needs --units or --group"},
             {{"--units", "wt", "--group", "engine"}, "orvalis-cli: --group must be NAME=LIST: engine"}}) {
        const CliRun refused = with(extra);
        EXPECT_EQ(refused.status, ExitUsage) << message;
        EXPECT_EQ(refused.err.substr(0, refused.err.find('\n')), message);
    }
    // The APA sentence and table: the weights (R's .346, .249, .094, .169), their shares, complete dominance.
    const std::string apa = with({"--units", "wt,hp,qsec,am", "--format", "apa"}).out;
    EXPECT_EQ(
        apa.rfind("A dominance analysis of mpg (R\u00b2 = .86, F(4, 27) = 40.74, p < .001) gave general dominance "
                  "weights of .35, 95% CI [",
                  0),
        0u)
        << apa;
    EXPECT_NE(apa.find(", for wt (40% of the R\u00b2); .25, 95% CI ["), std::string::npos) << apa;
    EXPECT_NE(
        apa.find("By complete dominance, wt dominated qsec and am; the other pairs were undetermined.\n\nTable 1\n"
                 "Dominance Analysis of mpg\n"),
        std::string::npos)
        << apa;
    EXPECT_NE(apa.find("\nqsec       .09                ["), std::string::npos) << apa;
    const std::string beyond = with({"--units", "wt,hp,qsec", "--covariates", "cyl", "--format", "apa-markdown"}).out;
    EXPECT_NE(beyond.find("beyond cyl (R\u00b2 = .73; full model R\u00b2 = .84, \u0394R\u00b2 = .12, F(3, 27) = 6.84"),
              std::string::npos)
        << beyond;
    EXPECT_NE(beyond.find("By complete dominance, wt dominated hp and qsec; hp dominated qsec.\n"), std::string::npos);
    EXPECT_NE(beyond.find("| Predictor | General dominance | 95% CI | Share | sr\u00b2 |"), std::string::npos);

    const CliRun one = with({"--units", "wt"});
    EXPECT_EQ(one.status, ExitFailure);
    EXPECT_EQ(one.err, "A dominance analysis compares 2 to 12 units (predictors or groups), and there are 1.\n");
}

TEST(Cli, EffectSizes)
{
    const std::string mtcars = ORVALIS_TEST_DATA_DIR "/hierarchical/mtcars.csv";
    const std::vector<std::string> request = {"--delimiter",  "comma", mtcars,    "bootstrap", "--dv",   "mpg",
                                              "--predictors", "wt",    "--added", "hp,qsec",   "--seed", "4",
                                              "--confidence", "99"};
    auto with = [&](const std::vector<std::string>& extra) { return runWith(request, extra); };
    const CliRun before = with({"--details"});
    const CliRun after = with({"--details", "--effect-sizes"});
    ASSERT_EQ(after.status, ExitSuccess) << after.err;
    EXPECT_EQ(after.out.substr(0, before.out.size()), before.out);
    const std::string block = after.out.substr(before.out.size());
    EXPECT_EQ(block.rfind("Effect Sizes and Analytic Intervals\n", 0), 0u) << block;
    // R: waldtest(lm(mpg ~ wt), lm(mpg ~ wt + hp + qsec), vcov = vcovHC(., type = "HC3"), test = "F"): F = 8.4905.
    EXPECT_NE(block.find("Robust F test of the added predictors (HC3): F = 8.49, df1 = 2, df2 = 28, p = 0.00131\n"),
              std::string::npos)
        << block;
    EXPECT_NE(block.find("Modified lower limit: follows the F test, significant: the traditional limit\n"),
              std::string::npos);

    const CliRun robust = with({"--details", "--robust", "hc4", "--modified-test", "robust", "--record"});
    ASSERT_EQ(robust.status, ExitSuccess) << robust.err;
    EXPECT_NE(robust.out.find("Modified Bootstrap Lower Limit: 0\n"), std::string::npos) << robust.out;
    EXPECT_NE(robust.out.find("p = 0.00356: significant at the 1% level\n"
                              "Modified lower limit: 0, since the robust F test (HC4) is not significant\n"),
              std::string::npos);
    EXPECT_NE(robust.out.find("--seed 4 --details --effect-sizes --robust hc4 --modified-test robust --record\n"),
              std::string::npos);

    const nlohmann::json object =
        nlohmann::json::parse(with({"--format", "json", "--modified-test", "robust", "--robust", "hc4"}).out);
    EXPECT_EQ(object["f_test"]["p_value_source"], "robust HC4 Wald");
    EXPECT_EQ(object["f_test"]["modified_lower_is_zero"], true);
    const nlohmann::json& effect = object["effect_sizes"];
    EXPECT_EQ(effect["modified_limit_follows"], "the robust F test (HC4)");
    EXPECT_NEAR(effect["robust_f_test"]["f"].get<double>(), 4.9469379, 1e-4);
    std::set<std::string> kinds;
    for (const nlohmann::json& interval : effect["intervals"]) {
        kinds.insert(interval["kind"].get<std::string>() + " " + interval["of"].get<std::string>());
        EXPECT_EQ(interval["confidence"], 99);
    }
    EXPECT_EQ(kinds, (std::set<std::string>{"percentile change_r2", "modified change_r2", "bca change_r2",
                                            "alf_graf change_r2", "noncentral_f reduced_r2", "noncentral_f full_r2",
                                            "percentile cohen_f2"}));
    EXPECT_FALSE(nlohmann::json::parse(with({"--format", "json"}).out).contains("effect_sizes"));

    const CliRun apa = with({"--format", "apa", "--apa-interval", "alf-graf"});
    ASSERT_EQ(apa.status, ExitSuccess) << apa.err;
    EXPECT_NE(
        apa.out.find("99% CI [-.04, .20], F(2, 28) = 6.94, p = .004 (Alf and Graf's large-sample method; Orvalis "),
        std::string::npos)
        << apa.out;
    for (const auto& bad : std::vector<std::vector<std::string>>{{"--robust", "hc1"}, {"--modified-test", "wald"}}) {
        const CliRun refused = with(bad);
        EXPECT_EQ(refused.status, ExitUsage) << bad[1];
        EXPECT_NE(refused.err.find(bad[0] + " must be"), std::string::npos) << refused.err;
    }
}

// plan power and plan width: no data file; Cohen's example and R's smallest
// N; JSON; a correlation matrix from a file; refusals and usage errors; and
// "plan" before any other word is still a file's name.
TEST(Cli, Plan)
{
    const CliRun cohen =
        run({"plan", "power", "--added", "5", "--f2", "0.11111111111111", "--n", "95", "--noncentrality", "pwr"});
    ASSERT_EQ(cohen.status, ExitSuccess) << cohen.err;
    EXPECT_NE(cohen.out.find("\ndf1 = 5, df2 = 89, lambda = 10.5556, critical F = 2.3169\nPower: 0.6736\n"),
              std::string::npos)
        << cohen.out;
    const CliRun target = run({"plan", "power", "--predictors", "3", "--added", "2", "--delta-r2", ".05", "--r2-full",
                               ".25", "--power", ".8", "--format", "json"});
    ASSERT_EQ(target.status, ExitSuccess) << target.err;
    const nlohmann::json power = nlohmann::json::parse(target.out);
    EXPECT_EQ(power["n"], 148); // R: the first N whose power reaches .8 (test_Planning.cpp)
    EXPECT_NEAR(power["power"].get<double>(), 0.8010990743, 1e-9);
    EXPECT_EQ(power["noncentrality"], "G*Power: lambda = f^2 N");

    test::TempDir dir;
    const std::string matrix = (dir.path() / "r.csv").string();
    std::ofstream(matrix) << "1,.5,.3\n.5,1,.2\n.3,.2,1\n";
    const CliRun width =
        run({"plan",   "width",    "--predictors",   "1",   "--added",    "1",  "--correlations", matrix,
             "--n",    "40:80:40", "--target-width", ".3",  "--datasets", "20", "--trials",       "200",
             "--seed", "2",        "--format",       "json"});
    ASSERT_EQ(width.status, ExitSuccess) << width.err;
    const nlohmann::json plan = nlohmann::json::parse(width.out);
    EXPECT_NEAR(plan["population"]["full_r2"].get<double>(), 0.28 / 0.96, 1e-12);
    ASSERT_EQ(plan["rows"].size(), 2u);
    EXPECT_EQ(plan["rows"][1]["n"], 80);
    EXPECT_EQ(plan["rows"][1]["data_sets"], 20);

    const CliRun impossible = run({"plan", "width", "--predictors", "2", "--added", "1", "--r2-reduced", ".6",
                                   "--delta-r2", ".45", "--n", "50", "--target-width", ".1", "--seed", "1"});
    EXPECT_EQ(impossible.status, ExitFailure);
    EXPECT_NE(impossible.err.find("with their sum below 1"), std::string::npos) << impossible.err;
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"plan", "power", "--added", "2", "--f2", ".1"},                               // neither --n nor --power
             {"plan", "power", "--added", "2", "--f2", ".1", "--n", "50", "--power", ".8"}, // both
             {"plan", "power", "--added", "2", "--f2", ".1", "--n", "50", "--noncentrality", "x"},
             {"plan", "power", "--f2", ".1", "--n", "50"},                       // no --added
             {"plan", "width", "--added", "1", "--delta-r2", ".1", "--n", "50"}, // no --target-width
         }) {
        const CliRun refused = run(bad);
        EXPECT_EQ(refused.status, ExitUsage) << bad.back();
    }
    // A file named plan, as before.
    EXPECT_EQ(run({"plan", "summary"}).status, ExitFailure);
}

// hierarchical: the steps by name, a categorical block, the report, the
// draws with their step, JSON and APA, and the usage errors.
TEST(Cli, Hierarchical)
{
    test::TempDir dir;
    const std::string mtcars = ORVALIS_TEST_DATA_DIR "/hierarchical/mtcars.csv";
    const std::vector<std::string> request = {"--delimiter", "comma", mtcars,   "hierarchical", "--dv",   "mpg",
                                              "--step",      "wt",    "--step", "hp",           "--step", "am,qsec",
                                              "--seed",      "1"};
    auto with = [&](const std::vector<std::string>& extra) { return runWith(request, extra); };
    const std::string draws = (dir.path() / "draws.csv").string();
    const CliRun text = with({"--save-draws", draws, "--trials", "300"});
    ASSERT_EQ(text.status, ExitSuccess) << text.err;
    // R: R^2 .752833, .826785, .857851; F change 91.375, 12.381, 2.9503 (tests/data/hierarchical/make_r_data.R).
    EXPECT_NE(text.out.find("Step 3 adds: Var7 (qsec); Var9 (am)\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("\n1     0.75283  0.75283  300"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("  91.375    1    30   1.29E-10\n"), std::string::npos);
    EXPECT_NE(text.out.find("\n3     0.85785  0.03107  300"), std::string::npos);
    EXPECT_NE(text.out.find("  2.95      2    27   0.06937\n"), std::string::npos);
    std::ifstream in(draws, std::ios::binary);
    const std::string csv(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(csv.rfind("step,trial,change\n1,1,", 0), 0u);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 3 * 300);

    const CliRun apa = with({"--format", "apa"});
    ASSERT_EQ(apa.status, ExitSuccess) << apa.err;
    EXPECT_EQ(apa.out.rfind("In Step 1, wt accounted for R\u00b2 = .75, 95% CI [", 0), 0u) << apa.out;
    EXPECT_NE(apa.out.find("], F(2, 27) = 2.95, p = .069 (percentile bootstrap, 600 resamples; Orvalis "),
              std::string::npos);
    EXPECT_NE(apa.out.find("Step 3: + qsec, am  .86  .03"), std::string::npos);

    const CliRun iris = run({"--delimiter", "comma", ORVALIS_TEST_DATA_DIR "/hierarchical/iris.csv", "hierarchical",
                             "--dv", "Sepal.Length", "--step", "Sepal.Width", "--step", "Species", "--reference",
                             "Species=versicolor", "--format", "json", "--trials", "100"});
    ASSERT_EQ(iris.status, ExitSuccess) << iris.err;
    const nlohmann::json object = nlohmann::json::parse(iris.out);
    ASSERT_EQ(object["steps"].size(), 2u);
    EXPECT_EQ(object["steps"][1]["df1"], 2);
    EXPECT_EQ(object["steps"][1]["columns"][0]["category"], "setosa");
    EXPECT_EQ(object["steps"][1]["columns"][1]["category"], "virginica");
    EXPECT_NEAR(object["steps"][1]["r2"].get<double>(), 0.725906609143, 2e-7);

    const std::vector<std::vector<std::string>> usage = {
        {"--step", "wt"},                                    // no --dv
        {"--dv", "mpg"},                                     // no --step
        {"--dv", "mpg", "--step", "wt", "--reference", "x"}, // not VAR=CATEGORY
        {"--dv", "mpg", "--step", "wt", "--colour", "red"},
        {"--dv", "mpg", "--step", "nothing"},
    };
    for (const auto& args : usage) {
        std::vector<std::string> all = {"--delimiter", "comma", mtcars, "hierarchical"};
        all.insert(all.end(), args.begin(), args.end());
        EXPECT_EQ(run(all).status, ExitUsage) << args.back();
    }
    const CliRun refused = run({"--delimiter", "comma", mtcars, "hierarchical", "--dv", "mpg", "--step", "wt,mpg"});
    EXPECT_EQ(refused.status, ExitFailure);
    EXPECT_EQ(refused.err, "Var 1 is used in two roles: dependent variable and predictor.\n");
}

TEST(Cli, SaveDrawsNeverDestroysWhatItShouldNotTouch)
{
    namespace fs = std::filesystem;
    test::TempDir dir;
    const std::string data = dir.write("data.txt", "1 2\n2 1\n3 5\n4 3\n5 4\n6 8\n7 6\n8 9\n");
    auto target = [&](const std::string& name) { return (dir.path() / name).string(); };
    auto bytes = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    auto draws = [&](const std::string& file) {
        return run(
            {data, "bootstrap", "--dv", "1", "--added", "2", "--trials", "20", "--seed", "3", "--save-draws", file});
    };
    dir.write("victim.txt", "not yours\n");
    dir.write("readonly.csv", "kept\n");
    fs::permissions(target("readonly.csv"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    mkfifo(target("pipe").c_str(), 0644);
    fs::create_directory(target("folder"));
    fs::create_symlink(target("nowhere.csv"), target("dangling.csv"));
    struct Refused {
        std::string file;
        const char* why;
    };
    const Refused refused[] = {
        {data, "it is the data file being analysed"},
        {target("readonly.csv"), "the file is read-only"},
        {target("pipe"), "it is a named pipe, not a regular file"},
        {"/dev/null", "it is a device, not a regular file"},
        {target("folder"), "it is a directory"},
        {target("dangling.csv"), "it is a symbolic link to a file that does not exist"},
    };
    for (const Refused& c : refused) {
        SCOPED_TRACE(c.file);
        const std::string before = fs::is_regular_file(c.file) ? bytes(c.file) : "";
        const CliRun r = draws(c.file);
        EXPECT_EQ(r.status, ExitFailure);
        EXPECT_EQ(r.err, "orvalis-cli: cannot write " + c.file + ": " + c.why + "\n");
        if (fs::is_regular_file(c.file)) {
            EXPECT_EQ(bytes(c.file), before);
        }
    }
    EXPECT_TRUE(fs::is_fifo(target("pipe")));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_TRUE(fs::is_symlink(target("dangling.csv")));

    // A link is written through, a planted link at the old temporary name is
    // never followed, and an existing file keeps its mode.
    dir.write("real.csv", "old\n");
    fs::create_symlink(target("real.csv"), target("link.csv"));
    fs::create_symlink(target("victim.txt"), target("private.csv.orvalis-tmp"));
    dir.write("private.csv", "old\n");
    fs::permissions(target("private.csv"), fs::perms::owner_read | fs::perms::owner_write);
    for (const std::string& file : {target("link.csv"), target("private.csv")}) {
        SCOPED_TRACE(file);
        const CliRun r = draws(file);
        EXPECT_EQ(r.status, ExitSuccess) << r.err;
        EXPECT_EQ(bytes(file).rfind("trial,change\n", 0), 0u);
    }
    EXPECT_TRUE(fs::is_symlink(target("link.csv")));
    EXPECT_EQ(bytes(target("real.csv")).rfind("trial,change\n", 0), 0u);
    EXPECT_EQ(fs::status(target("private.csv")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(bytes(target("victim.txt")), "not yours\n");
    // Nothing left behind: no temporary file beside any target.
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        EXPECT_NE(entry.path().filename().string().rfind(".", 0), 0u) << entry.path();
    }
}

// The real program under a file-size limit: the write fails with EFBIG and
// takes the exit-1 path; the signal never kills it and nothing is left behind.
TEST(Cli, AFileSizeLimitIsAnErrorNotAKill)
{
    test::TempDir dir;
    const std::string cli = ORVALIS_CLI_PATH;
    const std::string study = std::string(ORVALIS_EXAMPLES_DIR) + "/study.txt";
    const std::string run = cli + " '" + study + "' bootstrap --dv 1 --added 4 --trials 2000 --seed 1";
    const std::string kept = dir.write("kept.csv", "earlier draws\n");
    struct Case {
        const char* name;
        std::string commandLine;
        std::string error;
    };
    // The limit holds in a subshell whose messages and status go through a pipe
    // (a file for standard error would be limited too).
    auto limited = [&](const std::string& blocks, const std::string& commandLine) {
        return "(ulimit -f " + blocks + " && " + commandLine + "; echo \"exit $?\") 2>&1 | cat";
    };
    const Case cases[] = {
        {"report to a file", limited("0", run + " > '" + (dir.path() / "out.txt").string() + "'"),
         "orvalis-cli: cannot write the output: File too large\nexit 1\n"},
        {"--save-draws over a file", limited("1", run + " --save-draws '" + kept + "' > /dev/null"),
         "orvalis-cli: cannot write " + kept + ": File too large\nexit 1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun r = shell(dir, c.commandLine);
        EXPECT_EQ(r.out, c.error);
    }
    std::ifstream in(kept);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "earlier draws\n");
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_NE(entry.path().filename().string().rfind(".", 0), 0u) << entry.path();
    }
}

// The words of a recorded command line after "orvalis-cli" (the test's paths
// and values need no quoting).
std::vector<std::string> commandWords(const std::string& commandLine)
{
    std::vector<std::string> words;
    std::istringstream in(commandLine.substr(std::string("orvalis-cli ").size()));
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

// The line after "Command line: " in a run's record.
std::string recordedCommandLine(const std::string& out)
{
    const std::size_t start = out.find("\nCommand line: ");
    if (start == std::string::npos) {
        return {};
    }
    const std::size_t from = start + 15;
    return out.substr(from, out.find('\n', from) - from);
}

// A pair bootstrap, a hierarchical run and both plans, each run again from the
// command line its record prints: the same report, byte for byte, and the same
// command line again.
TEST(Cli, TheRecordedCommandLineRepeatsTheRun)
{
    const std::string mtcars = ORVALIS_TEST_DATA_DIR "/hierarchical/mtcars.csv";
    const std::vector<std::vector<std::string>> runs = {
        {"--delimiter=comma", mtcars, "bootstrap", "--dv=mpg", "--predictors", "wt", "--added=hp,qsec", "--trials",
         "150", "--confidence=90", "--seed=11", "--details", "--robust=hc4", "--record"},
        {"--delimiter", "comma", mtcars, "hierarchical", "--dv", "mpg", "--step=wt", "--step", "am,qsec",
         "--trials=120", "--seed", "5", "--modified-test", "robust", "--record"},
        {"plan", "power", "--added=2", "--predictors", "3", "--f2=0.15", "--n", "80", "--record"},
        {"plan", "width", "--added", "1", "--delta-r2=0.2", "--n=30,40", "--target-width", "0.5", "--datasets", "3",
         "--trials=40", "--seed=9", "--details", "--record"},
    };
    for (const auto& args : runs) {
        SCOPED_TRACE(args[2]);
        const CliRun first = run(args);
        ASSERT_EQ(first.status, ExitSuccess) << first.err;
        const std::string commandLine = recordedCommandLine(first.out);
        ASSERT_FALSE(commandLine.empty()) << first.out;
        const CliRun again = run(commandWords(commandLine));
        ASSERT_EQ(again.status, ExitSuccess) << commandLine << "\n" << again.err;
        const std::size_t block = first.out.find("Record of the Run\n");
        ASSERT_NE(block, std::string::npos);
        EXPECT_EQ(again.out.substr(0, again.out.find("Record of the Run\n")), first.out.substr(0, block))
            << commandLine;
        EXPECT_EQ(recordedCommandLine(again.out), commandLine);
    }
}

// --dv=mpg as --dv mpg, and every option that takes a value the same in both
// forms: each row of the table is run once each way on top of a small run of
// its command. A row added to the table without a value here fails.
TEST(Cli, EveryOptionTakesItsValueInBothForms)
{
    test::TempDir dir;
    const std::string mtcars = ORVALIS_TEST_DATA_DIR "/hierarchical/mtcars.csv";
    const std::string iris = ORVALIS_TEST_DATA_DIR "/hierarchical/iris.csv";
    const std::string matrix = dir.write("r.txt", "1 0.5\n0.5 1\n");
    const std::string sheetless = dir.write("s.txt", "1 2\n3 4\n5 7\n");
    using Args = std::vector<std::string>;
    // Per command: the arguments before its options and the options every run has.
    const std::map<unsigned, std::pair<Args, std::map<std::string, std::string>>> base = {
        {Global, {{}, {}}},
        {Bootstrap,
         {{"--delimiter", "comma", mtcars, "bootstrap"},
          {{"--dv", "mpg"}, {"--added", "hp"}, {"--trials", "40"}, {"--seed", "3"}}}},
        {Hierarchical,
         {{"--delimiter", "comma", iris, "hierarchical"},
          {{"--dv", "Sepal.Length"}, {"--step", "Species"}, {"--trials", "40"}, {"--seed", "3"}}}},
        {PlanPower, {{"plan", "power"}, {{"--added", "2"}, {"--f2", "0.1"}, {"--n", "60"}}}},
        {PlanWidth,
         {{"plan", "width"},
          {{"--added", "1"},
           {"--delta-r2", "0.2"},
           {"--n", "30"},
           {"--target-width", "0.5"},
           {"--datasets", "2"},
           {"--trials", "30"},
           {"--seed", "3"}}}},
        {Descriptives, {{sheetless, "descriptives", "1-2"}, {}}},
        {Dominance,
         {{"--delimiter", "comma", mtcars, "dominance"},
          {{"--dv", "mpg"}, {"--units", "wt,hp"}, {"--trials", "40"}, {"--seed", "3"}}}},
    };
    // A value each option accepts that differs from its default.
    const std::map<std::string, std::string> values = {
        {"--delimiter", "space"},
        {"--sheet", "first"},
        {"--dv", "Petal.Length"},
        {"bootstrap --dv", "cyl"},
        {"plan power --predictors", "1"},
        {"plan width --predictors", "1"},
        {"--predictors", "wt"},
        {"--added", "2"},
        {"--trials", "20"},
        {"--confidence", "99"},
        {"--seed", "77"},
        {"--threads", "2"},
        {"--format", "json"},
        {"--apa-interval", "bca"},
        {"--apa-coefficient-column", "sr2"},
        {"--robust", "hc4"},
        {"--modified-test", "robust"},
        {"--save-draws", (dir.path() / "draws.csv").string()},
        {"--step", "Petal.Width"},
        {"--reference", "Species=virginica"},
        {"bootstrap --reference", "cyl=6"},
        {"bootstrap --categorical", "cyl"},
        {"hierarchical --categorical", "Species"},
        {"--center", "Petal.Width"},
        {"--slopes", "Petal.Width@Sepal.Width"},
        {"--units", "wt,hp,qsec"},
        {"dominance --dv", "drat"},
        {"--group", "engine=disp,cyl"},
        {"--covariates", "am"},
        {"dominance --categorical", "cyl"},
        {"dominance --reference", "cyl=6"},
        {"--slopes-at", "Sepal.Width=3,3.5"},
        {"--delta-r2", "0.1"},
        {"--r2-full", "0.3"},
        {"--f2", "0.2"},
        {"--alpha", "0.01"},
        {"--n", "40"},
        {"--power", "0.9"},
        {"--noncentrality", "pwr"},
        {"--r2-reduced", "0.1"},
        {"--intercorrelation", "0.3"},
        {"--correlations", matrix},
        {"--target-width", "0.4"},
        {"--assurance", "0.5"},
        {"--datasets", "3"},
        {"--figure", (dir.path() / "figure.svg").string()},
        {"--figure-size", "120x80"},
        {"--figure-dpi", "600"},
        {"--figure-step", "1"},
        {"--figure-of", "distribution"},
    };
    // Options the run cannot take beside the base ones: plan power's --power
    // replaces --n, --delta-r2 and --r2-full replace --f2, --correlations the population.
    const std::map<std::string, std::vector<std::string>> replaces = {
        {"--power", {"--n"}}, {"--delta-r2", {"--f2"}}, {"--r2-full", {"--f2"}}, {"--correlations", {"--delta-r2"}}};
    int checked = 0;
    for (const OptionRow& row : optionTable()) {
        if (row.rule == nullptr) {
            continue;
        }
        SCOPED_TRACE(std::string(commandName(row.command)) + " " + row.name);
        const bool figure = std::string(row.name).rfind("--figure", 0) == 0;
        if (figure && !figuresAvailable()) {
            continue; // refused in a build without Qt (Cli.FigureOptionsAreCheckedBeforeTheRun)
        }
        auto value = values.find(std::string(commandName(row.command)) + " " + row.name);
        if (value == values.end()) {
            value = values.find(row.name);
        }
        ASSERT_NE(value, values.end()) << "no value to try";
        const auto& [front, options] = base.at(row.command);
        auto argsWith = [&](bool joined) {
            Args args;
            std::map<std::string, std::string> given = options;
            if (const auto gone = replaces.find(row.name); gone != replaces.end() && row.command == PlanPower) {
                for (const std::string& option : gone->second) {
                    given.erase(option);
                }
            }
            if (row.name == std::string("--r2-full") || row.name == std::string("--delta-r2")) {
                if (row.command == PlanPower) {
                    given["--delta-r2"] = "0.1";
                    given["--r2-full"] = "0.3";
                }
            }
            if (row.name == std::string("--correlations")) {
                given.erase("--delta-r2");
            }
            if (row.name == std::string("--r2-reduced")) {
                given["--predictors"] = "1";
                given["--delta-r2"] = "0.1";
            }
            if (row.name == std::string("--predictors") && row.command == PlanWidth) {
                given["--r2-reduced"] = "0.1";
            }
            // A declared categorical predictor, and one to give a reference category.
            if ((row.name == std::string("--categorical") || row.name == std::string("--reference"))
                && row.command == Bootstrap) {
                given["--added"] = "hp,cyl";
                if (row.name == std::string("--reference")) {
                    given["--categorical"] = "cyl";
                }
            }
            // A centred predictor is a numeric one of the model.
            if (row.name == std::string("--center")) {
                given["--step"] = "Petal.Width";
            }
            // A categorical unit, and one to give a reference category.
            if ((row.name == std::string("--categorical") || row.name == std::string("--reference"))
                && row.command == Dominance) {
                given["--units"] = "hp,cyl";
                if (row.name == std::string("--reference")) {
                    given["--categorical"] = "cyl";
                }
            }
            // Simple slopes read a product of the model.
            if (row.name == std::string("--slopes") || row.name == std::string("--slopes-at")) {
                given["--step"] = "Petal.Width,Sepal.Width,Petal.Width*Sepal.Width";
                given["--slopes"] = "Petal.Width@Sepal.Width";
            }
            // The figure's size, resolution and step go with a PNG figure.
            if (figure) {
                given["--figure"] = (dir.path() / "figure.png").string();
            }
            given.erase(row.name);
            std::vector<std::string> option =
                joined ? Args{std::string(row.name) + "=" + value->second} : Args{row.name, value->second};
            if (row.command == Global) {
                args = option;
                args.push_back(row.name == std::string("--sheet") ? ORVALIS_TEST_DATA_DIR "/hierarchical/iris.csv"
                                                                  : sheetless);
                args.push_back("summary");
                if (row.name == std::string("--sheet")) {
                    args = {option.begin(), option.end()};
                    args.push_back(sheetless);
                    args.push_back("summary");
                }
                return args;
            }
            args = front;
            for (const auto& [name, text] : given) {
                args.push_back(name);
                args.push_back(text);
            }
            args.insert(args.end(), option.begin(), option.end());
            return args;
        };
        const Args spaced = argsWith(false);
        const Args joined = argsWith(true);
        const CliRun a = run(spaced);
        const CliRun b = run(joined);
        EXPECT_EQ(a.status, ExitSuccess) << a.err;
        EXPECT_EQ(b.status, a.status) << b.err;
        EXPECT_EQ(b.out, a.out);
        EXPECT_EQ(b.err, a.err);
        ++checked;
    }
    EXPECT_GT(checked, 50);
    // A switch takes no value.
    const CliRun details =
        run({"--delimiter", "comma", mtcars, "bootstrap", "--dv", "mpg", "--added", "hp", "--details=yes"});
    EXPECT_EQ(details.status, ExitUsage);
    EXPECT_EQ(details.err, "orvalis-cli: --details takes no value\nTry 'orvalis-cli --help'\n");
}

// Each kind of usage error: the one-line reason, then the Try line; an option
// of another command is refused by the command given.
TEST(Cli, AUsageErrorIsOneLineAndATryLine)
{
    const std::string mtcars = ORVALIS_TEST_DATA_DIR "/hierarchical/mtcars.csv";
    const struct {
        std::vector<std::string> args;
        std::string reason;
    } cases[] = {
        {{"--delimiter=comma", mtcars, "bootstrap", "--dv=mpg", "--added", "hp", "--colour", "red"},
         "unknown bootstrap option: --colour"},
        {{"--delimiter=comma", mtcars, "bootstrap", "--dv", "mpg", "--added"}, "--added needs a value"},
        {{"--delimiter=comma", mtcars, "bootstrap", "--dv", "mpg", "--added", "hp", "--trials=0"},
         "--trials must be a whole number from 1 to 100000: 0"},
        {{"--delimiter=comma", mtcars, "bootstrap", "--dv", "mpg", "--added", "hp", "--confidence", "97"},
         "--confidence must be 90, 95 or 99: 97"},
        {{"--delimiter=comma", mtcars, "hierarchical", "--dv", "mpg", "--step", "wt", "--threads=300"},
         "--threads must be a whole number from 1 to 256: 300"},
        {{"--delimiter=comma", mtcars, "hierarchical", "--dv", "mpg", "--step", "wt", "--format=xml"},
         "--format must be text, json, apa or apa-markdown: xml"},
        {{"plan", "width", "--added", "1", "--delta-r2", "0.2", "--n", "30", "--target-width", "0.5", "--seed=-1"},
         "--seed must be a whole number from 0 to 9223372036854775807: -1"},
        {{"plan", "power", "--added", "1", "--f2", "0.1", "--n", "30", "--format", "apa"},
         "--format must be text or json: apa"},
        // Options of another command.
        {{"--delimiter=comma", mtcars, "bootstrap", "--dv", "mpg", "--added", "hp", "--step", "wt"},
         "unknown bootstrap option: --step"},
        {{"--delimiter=comma", mtcars, "descriptives", "1", "--trials", "20"}, "unknown descriptives option: --trials"},
        {{"plan", "power", "--added", "1", "--f2", "0.1", "--n", "30", "--seed", "1"},
         "unknown plan power option: --seed"},
        {{"plan", "width", "--added=1", "--delta-r2", "0.2", "--noncentrality=pwr"},
         "unknown plan width option: --noncentrality"},
        {{"--trials", "20", mtcars, "summary"}, "unknown option: --trials"},
        // A variable beyond the data, as the deliberate usage error it is.
        {{"--delimiter=comma", mtcars, "bootstrap", "--dv", "mpg", "--added", "40"}, "Var 40 is not in the data"},
    };
    for (const auto& c : cases) {
        const CliRun r = run(c.args);
        EXPECT_EQ(r.status, ExitUsage) << c.reason;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')).rfind("orvalis-cli: " + c.reason, 0), 0u) << r.err;
        EXPECT_EQ(r.err.substr(r.err.find('\n') + 1), "Try 'orvalis-cli --help'\n") << r.err;
    }
}

// The figure's options are checked before the data is read: a file type
// other than PDF, PNG and SVG, a size outside the window's limits, a
// resolution other than 300 and 600 or for a figure that is not a PNG, a
// step outside the run's steps or for bootstrap, and a size, resolution or
// step without --figure are usage errors. A build without Qt refuses
// --figure itself.
TEST(Cli, FigureOptionsAreCheckedBeforeTheRun)
{
    test::TempDir dir;
    const std::string mtcars = ORVALIS_TEST_DATA_DIR "/hierarchical/mtcars.csv";
    const std::string svg = (dir.path() / "f.svg").string();
    const std::string png = (dir.path() / "f.png").string();
    const std::vector<std::string> bootstrap = {"--delimiter=comma", mtcars, "bootstrap", "--dv=mpg", "--added=hp"};
    const std::vector<std::string> hierarchical = {"--delimiter=comma", mtcars,   "hierarchical", "--dv=mpg",
                                                   "--step=wt",         "--step", "hp,qsec"};
    const std::string sizes = "--figure-size must be one-column, two-column or WxH in whole millimetres (W 60 to "
                              "300, H 50 to 300): ";
    const std::string noQt = "--figure needs Qt, and this orvalis-cli was built without it";
    const struct {
        const std::vector<std::string>& command;
        std::vector<std::string> options;
        std::string reason;
        bool checkedWithQt; // only a build with Qt comes this far
    } cases[] = {
        {bootstrap, {"--figure", dir.path() / "f.jpg"}, "--figure must name a .pdf, .png or .svg file: ", false},
        {bootstrap,
         {"--figure=" + (dir.path() / "figure").string()},
         "--figure must name a .pdf, .png or .svg file: ",
         false},
        {hierarchical, {"--figure", dir.path() / "f.svg.txt"}, "--figure must name a .pdf, .png or .svg file: ", false},
        {bootstrap, {"--figure", svg, "--figure-size", "three-column"}, sizes + "three-column", false},
        {bootstrap, {"--figure", svg, "--figure-size", "59x80"}, sizes + "59x80", false},
        {bootstrap, {"--figure", svg, "--figure-size", "120x49"}, sizes + "120x49", false},
        {bootstrap, {"--figure", svg, "--figure-size", "301x80"}, sizes + "301x80", false},
        {bootstrap, {"--figure", svg, "--figure-size", "120.5x80"}, sizes + "120.5x80", false},
        {bootstrap, {"--figure", svg, "--figure-size", "120x"}, sizes + "120x", false},
        {hierarchical, {"--figure", svg, "--figure-size", "120"}, sizes + "120", false},
        {bootstrap, {"--figure", png, "--figure-dpi", "450"}, "--figure-dpi must be 300 or 600: 450", false},
        {bootstrap, {"--figure", png, "--figure-step", "1"}, "unknown bootstrap option: --figure-step", false},
        {hierarchical,
         {"--figure", svg, "--figure-step", "0"},
         "--figure-step must be a whole number from 1 to 6: 0",
         false},
        {bootstrap, {"--figure-size", "two-column"}, "--figure-size needs --figure", false},
        {hierarchical, {"--figure-step", "1"}, "--figure-step needs --figure", false},
        {bootstrap, {"--figure-dpi", "600"}, "--figure-dpi needs --figure", false},
        {hierarchical,
         {"--figure", svg, "--figure-step", "3"},
         "--figure-step must be a whole number from 1 to 2: 3",
         true},
        {bootstrap,
         {"--figure", svg, "--figure-dpi", "600"},
         "--figure-dpi is a PNG figure's resolution: " + svg,
         true},
        {bootstrap,
         {"--save-draws", svg, "--figure", (dir.path() / "." / "f.svg").string()},
         "--figure and --save-draws name the same file: " + (dir.path() / "." / "f.svg").string(),
         true},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.command;
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliRun r = run(args);
        const std::string reason = c.checkedWithQt && !figuresAvailable() ? noQt : c.reason;
        SCOPED_TRACE(reason);
        EXPECT_EQ(r.status, ExitUsage);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')).rfind("orvalis-cli: " + reason, 0), 0u) << r.err;
        EXPECT_EQ(r.err.substr(r.err.find('\n') + 1), "Try 'orvalis-cli --help'\n") << r.err;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    if (!figuresAvailable()) {
        const CliRun r = run({"--delimiter=comma", mtcars, "bootstrap", "--dv=mpg", "--added=hp", "--figure", svg});
        EXPECT_EQ(r.status, ExitUsage);
        EXPECT_EQ(r.err, "orvalis-cli: " + noQt + "\nTry 'orvalis-cli --help'\n");
    }
}

// dominance --figure: its size and resolution go with it and a resolution
// with a PNG only, a step is no option of it (usage errors before the run,
// nothing written); a figure asked for is written after the report, which
// is the report without it.
TEST(Cli, DominanceFigureOptionsAreCheckedAndTheFigureWritten)
{
    test::TempDir dir;
    const std::string mtcars = ORVALIS_TEST_DATA_DIR "/hierarchical/mtcars.csv";
    const std::string svg = (dir.path() / "f.svg").string();
    const std::vector<std::string> dominance = {"--delimiter=comma", mtcars,     "dominance", "--dv=mpg",
                                                "--units=wt,hp",     "--trials", "50",        "--seed=2"};
    const std::string noQt = "--figure needs Qt, and this orvalis-cli was built without it";
    const struct {
        std::vector<std::string> options;
        std::string reason;
        bool checkedWithQt;
    } cases[] = {
        {{"--figure-size", "two-column"}, "--figure-size needs --figure", false},
        {{"--figure-dpi", "600"}, "--figure-dpi needs --figure", false},
        {{"--figure", (dir.path() / "f.jpg").string()}, "--figure must name a .pdf, .png or .svg file: ", false},
        {{"--figure", svg, "--figure-step", "1"}, "unknown dominance option: --figure-step", false},
        {{"--figure", svg, "--figure-dpi", "600"}, "--figure-dpi is a PNG figure's resolution: " + svg, true},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = dominance;
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliRun r = run(args);
        const std::string reason = c.checkedWithQt && !figuresAvailable() ? noQt : c.reason;
        SCOPED_TRACE(reason);
        EXPECT_EQ(r.status, ExitUsage);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')).rfind("orvalis-cli: " + reason, 0), 0u) << r.err;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
    if (!figuresAvailable()) {
        return;
    }
    const CliRun plain = run(dominance);
    ASSERT_EQ(plain.status, ExitSuccess) << plain.err;
    std::vector<std::string> args = dominance;
    args.insert(args.end(), {"--figure", svg, "--figure-size", "two-column"});
    const CliRun drawn = run(args);
    EXPECT_EQ(drawn.status, ExitSuccess) << drawn.err;
    EXPECT_EQ(drawn.out, plain.out);
    EXPECT_EQ(drawn.err, "");
    std::ifstream file(svg, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_NE(bytes.find("width=\"175.00mm\" height=\"105.00mm\""), std::string::npos);
    EXPECT_NE(bytes.find("<title>Relative Importance</title>"), std::string::npos);
}

// The figures of the simple slopes: --figure-of takes one of its words, goes
// with --figure, asks for --slopes and no --figure-step (usage errors before
// the run); the Johnson-Neyman figure of a categorical moderator is refused
// after the run as the analysis refuses, with nothing printed or written.
TEST(Cli, ModerationFiguresNeedTheirSlopes)
{
    test::TempDir dir;
    const std::string mtcars = ORVALIS_TEST_DATA_DIR "/hierarchical/mtcars.csv";
    const std::string iris = ORVALIS_TEST_DATA_DIR "/hierarchical/iris.csv";
    const std::string svg = (dir.path() / "f.svg").string();
    const std::vector<std::string> hierarchical = {"--delimiter=comma", mtcars,   "hierarchical", "--dv=mpg",
                                                   "--step=wt,hp",      "--step", "wt*hp"};
    const std::string noQt = "--figure needs Qt, and this orvalis-cli was built without it";
    const struct {
        std::vector<std::string> options;
        std::string reason;
        bool checkedWithQt;
    } cases[] = {
        {{"--figure", svg, "--figure-of", "pie"},
         "--figure-of must be distribution, slopes or johnson-neyman: pie",
         false},
        {{"--figure-of", "slopes"}, "--figure-of needs --figure", false},
        {{"--figure", svg, "--figure-of", "slopes"}, "--figure-of slopes needs --slopes", true},
        {{"--figure", svg, "--figure-of=johnson-neyman"}, "--figure-of johnson-neyman needs --slopes", true},
        {{"--figure", svg, "--figure-of", "slopes", "--slopes", "wt@hp", "--figure-step", "2"},
         "--figure-step goes with the distribution figure, not --figure-of slopes",
         true},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = hierarchical;
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliRun r = run(args);
        const std::string reason = c.checkedWithQt && !figuresAvailable() ? noQt : c.reason;
        SCOPED_TRACE(reason);
        EXPECT_EQ(r.status, ExitUsage);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "orvalis-cli: " + reason + "\nTry 'orvalis-cli --help'\n");
    }
    if (figuresAvailable()) {
        const CliRun r = run({"--delimiter", "comma",
                              iris,          "hierarchical",
                              "--dv",        "Sepal.Length",
                              "--step",      "Petal.Width,Species",
                              "--step",      "Petal.Width*Species",
                              "--slopes",    "Petal.Width@Species",
                              "--trials",    "50",
                              "--seed",      "3",
                              "--figure",    svg,
                              "--figure-of", "johnson-neyman"});
        EXPECT_EQ(r.status, ExitFailure);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "The Johnson-Neyman figure needs a numeric moderator, and Var5 (Species) is categorical"
                         " (--figure-of slopes draws its slopes).\n");
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// The program itself, with no display and no platform named: the report on
// standard output as without --figure, nothing on standard error, and the
// figure in its file; an unwritable figure is said after the report, exit 1.
TEST(Cli, TheProgramWritesTheFigureWithoutADisplay)
{
    if (!figuresAvailable()) {
        GTEST_SKIP() << "built without Qt";
    }
    test::TempDir dir;
    const std::string cli = ORVALIS_CLI_PATH;
    const std::string mtcars = ORVALIS_TEST_DATA_DIR "/hierarchical/mtcars.csv";
    const std::string figure = (dir.path() / "Figure.PNG").string();
    const std::string command = "env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY " + cli + " --delimiter=comma '"
                                + mtcars + "' hierarchical --dv mpg --step wt --step hp --trials 100 --seed 8";
    const CliRun plain = shell(dir, command);
    ASSERT_EQ(plain.status, 0) << plain.err;
    const CliRun drawn = shell(dir, command + " --figure '" + figure + "' --figure-dpi 600");
    EXPECT_EQ(drawn.status, 0);
    EXPECT_EQ(drawn.out, plain.out);
    EXPECT_EQ(drawn.err, "");
    std::ifstream file(figure, std::ios::binary);
    std::string head(8, '\0');
    file.read(head.data(), 8);
    EXPECT_EQ(head, "\x89PNG\r\n\x1a\n");

    const std::string missing = (dir.path() / "none" / "f.pdf").string();
    const CliRun failed = shell(dir, command + " --figure '" + missing + "'");
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, plain.out);
    EXPECT_EQ(failed.err.rfind("orvalis-cli: cannot write " + missing + ": ", 0), 0u) << failed.err;
    EXPECT_EQ(std::count(failed.err.begin(), failed.err.end(), '\n'), 1) << failed.err;
}

TEST(Cli, UnixLineEnds)
{
    EXPECT_EQ(toUnixLineEnds("a\r\nb\r\n\r\n"), "a\nb\n\n");
    EXPECT_EQ(toUnixLineEnds("a\rb"), "a\rb");
}

} // namespace
} // namespace orvalis::cli
