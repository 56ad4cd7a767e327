// The APA sentence and table, the record of a run, and the Monte Carlo error of the limits.
#include "TestData.h"
#include "analyses/ApaReport.h"
#include "analyses/Bootstrap.h"
#include "analyses/FigureText.h"
#include "analyses/Hierarchical.h"
#include "analyses/IntervalCatalogue.h"
#include "analyses/ReportText.h"
#include "analyses/RunRecord.h"
#include "common/FileHash.h"
#include "common/Version.h"
#include "data/DataImport.h"
#include "TempDir.h"

#include "TextChecks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <fstream>
#include <sys/stat.h>

namespace orvalis {
namespace {

// Each value rounded once from the exact value, in the APA forms.
TEST(Apa, NumbersFollowTheManual)
{
    struct Case {
        ApaValue kind;
        double value;
        const char* expected;
    };
    const Case cases[] = {
        {ApaValue::Proportion, 0.03106557, ".03"},
        {ApaValue::PValue, 0.069366807, ".069"},
        {ApaValue::PValue, 0.0008589, "< .001"},
        {ApaValue::Statistic, 12.77497, "12.77"},
        // The shown F of 12.775 would round to 12.78; the float F of R's swiss model is 12.774967...
        {ApaValue::Statistic, static_cast<double>(12.774967329f), "12.77"},
        {ApaValue::Count, 1234, "1,234"},
        {ApaValue::Count, 600, "600"},
        {ApaValue::Count, 1234567, "1,234,567"},
        {ApaValue::Proportion, 0.999, "1.00"},
        {ApaValue::Proportion, 0.0049, ".00"},
        {ApaValue::Proportion, -0.0123, "-.01"},
        {ApaValue::Proportion, -0.001, ".00"}, // no "-.00"
        {ApaValue::Proportion, 0.125, ".12"},  // halves to even
        {ApaValue::PValue, 0.00096, "< .001"}, // below .001, though it would round to it
        {ApaValue::PValue, 0.0014, ".001"},
        {ApaValue::PValue, 0.0004999, "< .001"},
        {ApaValue::PValue, 1.0, "1.000"},
        {ApaValue::Statistic, 0.5, "0.50"}, // F may exceed 1: its zero stays
    };
    for (const Case& c : cases) {
        EXPECT_EQ(apaNumber(c.kind, c.value), c.expected) << c.value;
    }
}

// R's swiss data: Fertility on Agriculture and Examination, adding Education,
// Catholic and Infant.Mortality. R 4.2 (tests/data/apa/make_swiss.R):
// R^2 .4326044572 and .7067350016, F = 12.774967329 on 3 and 41, p = 4.929423e-06.
BootstrapResult swissResult()
{
    BootstrapResult r;
    r.request.DependentVariable = 1;
    r.request.PredictorList = {2, 3};
    r.request.AddedList = {4, 5, 6};
    r.request.NumTrials = 2000;
    r.NumValid = 2000;
    r.VariableNames = {"", "Fertility", "Agriculture", "Examination", "Education", "Catholic", "Infant.Mortality"};
    r.ReducedR2 = 0.4326044572;
    r.FullR2 = 0.7067350016;
    r.DeltaR2 = 0.2741305444;
    r.FValue = 12.774967329f;
    r.df1 = 3;
    r.df2 = 41;
    r.PValue = 4.929423e-06;
    r.Seed = 12345;
    r.CasesRead = 47;
    r.CompleteCases = 47;
    r.setPercentileIntervals(0.106f, 0.489f);
    r.Intervals.push_back({IntervalKind::BCa, ConfidenceLevel::P95, 0.092, 0.470});
    return r;
}

TEST(Apa, SentenceForEachInterval)
{
    const std::string version = std::string("; Orvalis ") + programVersion() + ").";
    const BootstrapResult swiss = swissResult();
    EXPECT_EQ(FormatApaSentence(swiss, IntervalKind::Traditional),
              "Adding Education, Catholic and Infant.Mortality increased R\u00b2 from .43 to .71, \u0394R\u00b2 = .27, "
              "95% CI [.11, .49], F(3, 41) = 12.77, p < .001 (percentile bootstrap, 2,000 resamples"
                  + version);
    EXPECT_EQ(FormatApaSentence(swiss, IntervalKind::BCa),
              "Adding Education, Catholic and Infant.Mortality increased R\u00b2 from .43 to .71, \u0394R\u00b2 = .27, "
              "95% CI [.09, .47], F(3, 41) = 12.77, p < .001 (bias-corrected and accelerated bootstrap, 2,000 "
              "resamples"
                  + version);

    // Not significant at the 90% level's alpha: the modified interval says why its lower limit is 0.
    BootstrapResult weak = swiss;
    weak.request.Level = ConfidenceLevel::P90;
    weak.request.PredictorList.clear();
    weak.request.AddedList = {4};
    weak.VariableNames = {"", "Fertility", "", "", ""};
    weak.ReducedR2 = 0.0;
    weak.FullR2 = 0.031;
    weak.DeltaR2 = 0.031;
    weak.FValue = 1.44f;
    weak.df1 = 1;
    weak.df2 = 45;
    weak.PValue = 0.2364;
    weak.ModifiedLowerIsZero = true;
    weak.NumValid = 1998;
    weak.setPercentileIntervals(0.0004f, 0.1456f);
    EXPECT_EQ(FormatApaSentence(weak, IntervalKind::Modified),
              "Adding Var 4 to a model without predictors increased R\u00b2 from .00 to .03, \u0394R\u00b2 = .03, "
              "90% CI [.00, .15], F(1, 45) = 1.44, p = .236 (modified percentile bootstrap, lower limit set to 0 "
              "because the F test was not significant at \u03b1 = .10, 2,000 resamples, 1,998 valid"
                  + version);
    // A run without details has no BCa interval to report.
    weak.Intervals.pop_back();
    EXPECT_NE(FormatApaSentence(weak, IntervalKind::BCa).find("90% CI undefined"), std::string::npos);
}

// Each kind has one row, and no two rows share a word a reader looks them up by.
TEST(IntervalCatalogue, OneRowPerKindWithDistinctWords)
{
    const std::vector<IntervalRow>& rows = intervalCatalogue();
    ASSERT_EQ(rows.size(), 5u);
    std::set<int> kinds;
    std::set<std::string> jsonKinds, jsonKeys, commandWords, mnemonics;
    for (const IntervalRow& row : rows) {
        EXPECT_TRUE(kinds.insert(static_cast<int>(row.kind)).second);
        EXPECT_EQ(&intervalRow(row.kind), &row);
        EXPECT_TRUE(jsonKinds.insert(row.jsonKind).second) << row.jsonKind;
        if (row.jsonKey != nullptr) {
            EXPECT_TRUE(jsonKeys.insert(row.jsonKey).second) << row.jsonKey;
        }
        if (row.commandWord != nullptr) {
            EXPECT_TRUE(commandWords.insert(row.commandWord).second) << row.commandWord;
            ASSERT_NE(row.menuCaption, nullptr);
            const std::string caption = row.menuCaption;
            const std::size_t amp = caption.find('&');
            ASSERT_NE(amp, std::string::npos) << caption;
            EXPECT_TRUE(mnemonics.insert(caption.substr(amp + 1, 1)).second) << caption;
            EXPECT_EQ(intervalNamed(row.commandWord), row.kind);
            EXPECT_NE(row.apaMethod, nullptr);
            // A kind the APA texts can name says what to do when a run lacks it.
            EXPECT_EQ(std::string(row.notComputed).empty(), row.needs == IntervalNeeds::Run) << row.commandWord;
        }
    }
    EXPECT_EQ(kinds.size(), 5u);
    // The words of the command line, the settings and the menu's object names.
    EXPECT_EQ(intervalWordsText(), "percentile, modified, bca or alf-graf");
    EXPECT_EQ(apaIntervalKinds(), (std::vector<IntervalKind>{IntervalKind::Traditional, IntervalKind::Modified,
                                                             IntervalKind::BCa, IntervalKind::AlfGraf}));
    // A JSON word or a report's name is not a command word.
    EXPECT_FALSE(intervalNamed("traditional"));
    EXPECT_FALSE(intervalNamed("alf_graf"));
    EXPECT_FALSE(intervalNamed("Percentile"));
    EXPECT_FALSE(intervalNamed(""));
}

TEST(IntervalCatalogue, FillsItsPlaceholders)
{
    IntervalWords words;
    words.level = "95";
    words.limits = "[.106, .489]";
    words.test = "F test";
    words.testName = "the robust F test (HC3)";
    words.alpha = ".05";
    EXPECT_EQ(fillIntervalText("{level}% CI {limits}", words), "95% CI [.106, .489]");
    // {test} and {test-name} are told apart; an unknown or open brace stays as written.
    EXPECT_EQ(fillIntervalText("{test}; {test-name} at {alpha} {other} {", words),
              "F test; the robust F test (HC3) at .05 {other} {");
    EXPECT_EQ(fillIntervalText("", words), "");
    EXPECT_EQ(fillIntervalText("{limits}{limits}", words), "[.106, .489][.106, .489]");
}

// The figure's lines come from the rows: the modified one only where its lower
// limit is 0 and the traditional one is not, Alf and Graf's only on request.
TEST(FigureText, MarksAndNoteFollowTheRows)
{
    BootstrapResult result;
    result.request.NumTrials = 1000;
    result.request.DependentVariable = 1;
    result.request.AddedList = {2};
    result.NumValid = 1000;
    result.CompleteCases = 50;
    result.Seed = 7;
    result.DeltaR2 = 0.25;
    result.FValue = 1.5f;
    result.df1 = 1;
    result.df2 = 48;
    result.PValue = 0.2;
    result.ModifiedLowerIsZero = true;
    result.setPercentileIntervals(0.075f, 0.5f);
    result.Intervals.push_back({IntervalKind::BCa, ConfidenceLevel::P95, 0.05, 0.45});
    result.Intervals.push_back({IntervalKind::AlfGraf, ConfidenceLevel::P95, -0.02, 0.52});
    result.Intervals.push_back({IntervalKind::NoncentralF, ConfidenceLevel::P95, 0.1, 0.4, Estimand::FullR2});

    std::vector<std::string> legends;
    std::vector<double> values;
    std::vector<bool> requested;
    for (const FigureMark& mark : figureMarks(result)) {
        legends.push_back(mark.legend);
        values.push_back(mark.value);
        requested.push_back(mark.marker.onRequest);
    }
    EXPECT_EQ(legends, (std::vector<std::string>{"Observed \u0394R\u00b2 = .250", "95% percentile CI [.075, .500]", "",
                                                 "Modified lower limit 0 (F test not significant)", "BCa [.050, .450]",
                                                 "", "Alf\u2013Graf CI [-.020, .520]", ""}));
    EXPECT_EQ(values, (std::vector<double>{0.25, static_cast<double>(0.075f), 0.5, 0.0, 0.05, 0.45, -0.02, 0.52}));
    EXPECT_EQ(requested, (std::vector<bool>{false, false, false, false, false, false, true, true}));

    const std::string note = FormatFigureNote(result);
    EXPECT_NE(note.find(" Dashed lines: 95% percentile bootstrap confidence limits [.075, .500]. Dash-dotted line: "
                        "the modified lower limit, 0, since the F test of the added predictors was not significant "
                        "at \u03b1 = .05. Dotted lines: bias-corrected and accelerated (BCa) limits [.050, .450]."),
              std::string::npos)
        << note;
    EXPECT_EQ(note.find("Dash-dot-dotted"), std::string::npos);
    EXPECT_NE(FormatFigureNote(result, true)
                  .find(" Dash-dot-dotted lines: Alf and Graf's large-sample 95% "
                        "confidence limits [-.020, .520]."),
              std::string::npos);

    // Significant: the modified limits are the traditional ones and draw no line of their own.
    result.ModifiedLowerIsZero = false;
    result.setPercentileIntervals(0.075f, 0.5f);
    for (const FigureMark& mark : figureMarks(result)) {
        EXPECT_EQ(mark.legend.find("Modified"), std::string::npos);
    }
    EXPECT_EQ(FormatFigureNote(result).find("Dash-dotted"), std::string::npos);
}

// The pieces every report is written with.
TEST(ReportText, SharedPieces)
{
    std::string out;
    appendLine(out, "a");
    appendBlockEnd(out);
    EXPECT_EQ(out, "a\r\n-------------------------------------\r\n\r\n\r\n\r\n");
    EXPECT_EQ(fiveDecimals(0.123456), "0.12346");
    EXPECT_EQ(fiveDecimals(std::nullopt), "undefined");
    EXPECT_EQ(fiveDecimals(std::nullopt, "Undefined"), "Undefined");
    // A limit is rounded in single precision: 0.1234549 as a float is 0.12345490...
    EXPECT_EQ(fiveDecimalsSingle(static_cast<double>(0.123455f)), "0.12346");
    EXPECT_EQ(variableText(3, {"", "", "", "Education\nx"}), "Var3 (Education\\nx)");
    EXPECT_EQ(variableText(4, {"", "", "", "Education"}), "Var4");
    EXPECT_EQ(pValueText(0.049966), "0.04997");
    EXPECT_EQ(pValueText(1.234e-7), "1.23E-07");
    EXPECT_EQ(pValueText(0.0), "< 1E-300");
    EXPECT_EQ(markdownEscaped("a_b|c*"), "a\\_b\\|c\\*");
    EXPECT_EQ(htmlEscaped("<a & \"b\">"), "&lt;a &amp; &quot;b&quot;&gt;");
}

TEST(Apa, TableAsTextMarkdownAndHtml)
{
    BootstrapResult swiss = swissResult();
    swiss.VariableNames[5] = "Catholic <%>"; // a name that HTML and Markdown must escape
    swiss.VariableNames[6] = "Infant|Mortality";
    const std::string note = "CI = confidence interval of \u0394R\u00b2 by percentile bootstrap (2,000 resamples, "
                             "seed 12345). F change, df1, df2 and p: the F test of the predictors added in Step 2.";
    EXPECT_EQ(FormatApaTableText(swiss, IntervalKind::Traditional),
              "Table 1\n"
              "Hierarchical Regression of Fertility\n"
              "-----------------------------------------------------------------------------------------------------\n"
              "Model                                                R\u00b2   \u0394R\u00b2  95% CI      F change  "
              "df1  df2  p\n"
              "-----------------------------------------------------------------------------------------------------\n"
              "Step 1: Agriculture, Examination                     .43\n"
              "Step 2: + Education, Catholic <%>, Infant|Mortality  .71  .27  [.11, .49]  12.77     3    41   < .001\n"
              "-----------------------------------------------------------------------------------------------------\n"
              "Note. "
                  + note + "\n");
    EXPECT_EQ(FormatApaTableMarkdown(swiss, IntervalKind::Traditional),
              "**Table 1**\n\n*Hierarchical Regression of Fertility*\n\n"
              "| Model | R\u00b2 | \u0394R\u00b2 | 95% CI | F change | df1 | df2 | p |\n"
              "|:---|---:|---:|---:|---:|---:|---:|---:|\n"
              "| Step 1: Agriculture, Examination | .43 |  |  |  |  |  |  |\n"
              "| Step 2: + Education, Catholic \\<%\\>, Infant\\|Mortality | .71 | .27 | [.11, .49] | 12.77 | 3 | 41 | "
              "< .001 |\n\n"
              "*Note.* "
                  + note + "\n");
    const std::string html = FormatApaTableHtml(swiss, IntervalKind::Traditional);
    EXPECT_NE(html.find("<table"), std::string::npos);
    EXPECT_NE(html.find(">Step 2: + Education, Catholic &lt;%&gt;, Infant|Mortality</td>"), std::string::npos);
    EXPECT_NE(html.find(">&lt; .001</td>"), std::string::npos);
    EXPECT_EQ(html.find("<%>"), std::string::npos);
}

// A made-up pair's run with coefficients, in round numbers, so that every
// cell of its APA table is known without the program: y on x1, adding x2.
BootstrapResult pairWithCoefficients()
{
    BootstrapResult r;
    r.request.DependentVariable = 1;
    r.request.PredictorList = {2};
    r.request.AddedList = {3};
    r.request.NumTrials = 1000;
    r.request.Coefficients = true;
    r.NumValid = 1000;
    r.VariableNames = {"", "y", "x1", "x2"};
    r.ReducedR2 = 0.09;
    r.FullR2 = 0.45;
    r.DeltaR2 = 0.36;
    r.FValue = 25.0f;
    r.df1 = 1;
    r.df2 = 17;
    r.PValue = 0.0001;
    r.Seed = 7;
    r.setPercentileIntervals(0.12f, 0.58f);
    CoefficientTable reduced;
    reduced.R2 = 0.09;
    reduced.df = 18;
    reduced.rows = {test::coefficientRow(0, 2.0, 0.5, 1.0, 3.0, std::nullopt, 4.0, 0.0002, std::nullopt, std::nullopt,
                                         std::nullopt),
                    test::coefficientRow(1, 0.5, 0.25, -0.01, 1.01, 0.3, 2.0, 0.05, 0.09, 1.0, 1.0)};
    CoefficientTable full;
    full.R2 = 0.45;
    full.df = 17;
    full.rows = {test::coefficientRow(0, 1.5, 0.5, 0.45, 2.55, std::nullopt, 3.0, 0.008, std::nullopt, std::nullopt,
                                      std::nullopt),
                 test::coefficientRow(1, 0.25, 0.25, -0.28, 0.78, 0.15, 1.0, 0.331, 0.02, 0.9, 1.1),
                 test::coefficientRow(2, -1.25, 0.25, -1.78, -0.72, -0.6, -5.0, 0.0001, 0.36, 0.9, 1.1)};
    r.Coefficients = ModelCoefficients{{reduced, ""}, {full, ""}};
    return r;
}

// With coefficients the APA table is the hierarchical regression table: a
// block per step (the reduced model, then the full one), the constant and
// each predictor with B, SE B, beta, t, p and B's interval, and the step's
// R², its change with the chosen interval and the F test.
TEST(Apa, CoefficientTableAsTextMarkdownAndHtml)
{
    const BootstrapResult run = pairWithCoefficients();
    const std::string rule(68, '-');
    EXPECT_EQ(FormatApaTableText(run, IntervalKind::Traditional),
              "Table 1\n"
              "Hierarchical Regression of y\n"
                  + rule + "\nVariable    B      SE B  \u03b2     t      p       95% CI [LL, UL]\n" + rule
                  + "\n"
                    "Step 1\n"
                    "  Constant  2.00   0.50        4.00   < .001  [1.00, 3.00]\n"
                    "  x1        0.50   0.25  .30   2.00   .050    [-0.01, 1.01]\n"
                    "  R\u00b2 = .09\n"
                    "Step 2\n"
                    "  Constant  1.50   0.50        3.00   .008    [0.45, 2.55]\n"
                    "  x1        0.25   0.25  .15   1.00   .331    [-0.28, 0.78]\n"
                    "  x2        -1.25  0.25  -.60  -5.00  < .001  [-1.78, -0.72]\n"
                    "  R\u00b2 = .45, \u0394R\u00b2 = .36, 95% CI [.12, .58], F(1, 17) = 25.00, p < .001\n"
                  + rule
                  + "\nNote. B = unstandardized coefficient; SE B = standard error of B; \u03b2 = standardized "
                    "coefficient; CI = confidence interval, of B from the t distribution and of \u0394R\u00b2 by "
                    "percentile bootstrap (1,000 resamples, seed 7); LL = lower limit; UL = upper limit. F: the test "
                    "of the predictors added in Step 2.\n");

    const std::string empty = " |  |  |  |  |  |  |\n";
    EXPECT_EQ(FormatApaTableMarkdown(run, IntervalKind::Traditional),
              "**Table 1**\n\n*Hierarchical Regression of y*\n\n"
              "| Variable | *B* | *SE B* | \u03b2 | *t* | *p* | 95% CI [*LL*, *UL*] |\n"
              "|:---|---:|---:|---:|---:|---:|---:|\n"
              "| Step 1"
                  + empty
                  + "| Constant | 2.00 | 0.50 |  | 4.00 | < .001 | [1.00, 3.00] |\n"
                    "| x1 | 0.50 | 0.25 | .30 | 2.00 | .050 | [-0.01, 1.01] |\n"
                    "| *R*\u00b2 = .09"
                  + empty + "| Step 2" + empty
                  + "| Constant | 1.50 | 0.50 |  | 3.00 | .008 | [0.45, 2.55] |\n"
                    "| x1 | 0.25 | 0.25 | .15 | 1.00 | .331 | [-0.28, 0.78] |\n"
                    "| x2 | -1.25 | 0.25 | -.60 | -5.00 | < .001 | [-1.78, -0.72] |\n"
                    "| *R*\u00b2 = .45, \u0394*R*\u00b2 = .36, 95% CI [.12, .58], *F*(1, 17) = 25.00, *p* < .001"
                  + empty
                  + "\n*Note.* *B* = unstandardized coefficient; *SE B* = standard error of *B*; \u03b2 = "
                    "standardized coefficient; CI = confidence interval, of *B* from the *t* distribution and of "
                    "\u0394*R*\u00b2 by percentile bootstrap (1,000 resamples, seed 7); *LL* = lower limit; *UL* = "
                    "upper limit. *F*: the test of the predictors added in Step 2.\n");

    BootstrapResult hostile = run;
    hostile.VariableNames[3] = "<b>x2</b>";
    const std::string html = FormatApaTableHtml(hostile, IntervalKind::Traditional);
    const std::string th = "<th style=\"border-top:1px solid black;border-bottom:1px solid black;padding:2px 8px;";
    for (const std::string& header :
         {th + "text-align:left;\">Variable</th>", th + "text-align:right;\"><i>B</i></th>",
          th + "text-align:right;\"><i>SE B</i></th>", th + "text-align:right;\">\u03b2</th>",
          th + "text-align:right;\"><i>t</i></th>", th + "text-align:right;\"><i>p</i></th>",
          th + "text-align:right;\">95% CI [<i>LL</i>, <i>UL</i>]</th>"}) {
        EXPECT_NE(html.find(header), std::string::npos) << header << "\n" << html;
    }
    for (const char* cell :
         {"<tr><td colspan=\"7\" style=\"padding:2px 8px;text-align:left;\">Step 2</td></tr>\n",
          "<tr><td style=\"padding:2px 8px 2px 24px;text-align:left;\">&lt;b&gt;x2&lt;/b&gt;</td>"
          "<td style=\"padding:2px 8px;text-align:right;\">-1.25</td>",
          ">&lt; .001</td>",
          "<tr><td colspan=\"7\" style=\"padding:2px 8px 2px 24px;border-bottom:1px solid black;text-align:left;\">"
          "<i>R</i>\u00b2 = .45, \u0394<i>R</i>\u00b2 = .36, 95% CI [.12, .58], <i>F</i>(1, 17) = 25.00, <i>p</i> "
          "&lt; .001</td></tr>\n</table>\n",
          "<p><i>Note.</i> <i>B</i> = unstandardized coefficient; <i>SE B</i> = standard error of <i>B</i>;"}) {
        EXPECT_NE(html.find(cell), std::string::npos) << cell << "\n" << html;
    }
    EXPECT_EQ(html.find("<b>x2"), std::string::npos);

    // The sentence is the one without coefficients; the table follows it.
    BootstrapResult without = run;
    without.Coefficients.reset();
    const std::string sentence = FormatApaSentence(without, IntervalKind::Traditional);
    EXPECT_EQ(FormatApaResults(run, IntervalKind::Traditional, ApaForm::Plain),
              sentence + "\n\n" + FormatApaTableText(run, IntervalKind::Traditional));
    EXPECT_EQ(FormatApaResults(run, IntervalKind::Traditional, ApaForm::Markdown),
              sentence + "\n\n" + FormatApaTableMarkdown(run, IntervalKind::Traditional));
}

// The last column may be sr² instead of B's interval; a run without
// coefficients keeps its table, whichever column is chosen.
TEST(Apa, CoefficientTableWithSr2)
{
    const BootstrapResult run = pairWithCoefficients();
    const std::string rule(68, '-');
    EXPECT_EQ(FormatApaTableText(run, IntervalKind::Traditional, ApaCoefficientColumn::Sr2),
              "Table 1\n"
              "Hierarchical Regression of y\n"
                  + rule + "\nVariable    B      SE B  \u03b2     t      p       sr\u00b2\n" + rule
                  + "\n"
                    "Step 1\n"
                    "  Constant  2.00   0.50        4.00   < .001\n"
                    "  x1        0.50   0.25  .30   2.00   .050    .09\n"
                    "  R\u00b2 = .09\n"
                    "Step 2\n"
                    "  Constant  1.50   0.50        3.00   .008\n"
                    "  x1        0.25   0.25  .15   1.00   .331    .02\n"
                    "  x2        -1.25  0.25  -.60  -5.00  < .001  .36\n"
                    "  R\u00b2 = .45, \u0394R\u00b2 = .36, 95% CI [.12, .58], F(1, 17) = 25.00, p < .001\n"
                  + rule
                  + "\nNote. B = unstandardized coefficient; SE B = standard error of B; \u03b2 = standardized "
                    "coefficient; sr\u00b2 = squared semipartial correlation, the R\u00b2 the model loses when that "
                    "predictor alone is dropped; CI = confidence interval of \u0394R\u00b2 by percentile bootstrap "
                    "(1,000 resamples, seed 7). F: the test of the predictors added in Step 2.\n");
    EXPECT_NE(FormatApaTableHtml(run, IntervalKind::Traditional, ApaCoefficientColumn::Sr2)
                  .find("text-align:right;\"><i>sr</i>\u00b2</th></tr>"),
              std::string::npos);

    const BootstrapResult swiss = swissResult();
    for (const ApaCoefficientColumn column : {ApaCoefficientColumn::Interval, ApaCoefficientColumn::Sr2}) {
        EXPECT_EQ(FormatApaTableText(swiss, IntervalKind::Traditional, column),
                  FormatApaTableText(swiss, IntervalKind::Traditional));
        EXPECT_EQ(FormatApaTableMarkdown(swiss, IntervalKind::Traditional, column),
                  FormatApaTableMarkdown(swiss, IntervalKind::Traditional));
        EXPECT_EQ(FormatApaTableHtml(swiss, IntervalKind::Traditional, column),
                  FormatApaTableHtml(swiss, IntervalKind::Traditional));
        EXPECT_EQ(FormatApaResults(swiss, IntervalKind::Traditional, ApaForm::Plain, column),
                  FormatApaResults(swiss, IntervalKind::Traditional, ApaForm::Plain));
    }
    // A small coefficient keeps two significant digits of its SE: B, SE and
    // the limits take the decimals the SE needs (-0.0004 does not read 0.00).
    BootstrapResult small = run;
    small.Coefficients->full.table->rows[1] =
        test::coefficientRow(1, -0.000412, 0.000196, -0.000826, 0.0000019, -0.2, -2.1, 0.05, 0.04, 0.9, 1.1);
    EXPECT_NE(FormatApaTableText(small, IntervalKind::Traditional)
                  .find("  x1        -0.00041  0.00020  -.20  -2.10  .050    [-0.00083, 0.00000]\n"),
              std::string::npos)
        << FormatApaTableText(small, IntervalKind::Traditional);
    // The words of the choice.
    EXPECT_EQ(apaCoefficientColumnNamed("ci"), ApaCoefficientColumn::Interval);
    EXPECT_EQ(apaCoefficientColumnNamed("sr2"), ApaCoefficientColumn::Sr2);
    EXPECT_EQ(apaCoefficientColumnNamed("beta"), std::nullopt);
}

// A hierarchical run with coefficients: each step's model, a categorical
// variable's indicator named by its category and the reference, names
// escaped for Markdown, a model without coefficients saying why.
TEST(Apa, HierarchicalCoefficientTable)
{
    HierarchicalResult result;
    result.request.DependentVariable = 1;
    result.request.Steps = {{2}, {3}};
    result.request.Coefficients = true;
    result.columns = {{2, 0}, {3, 2}};
    result.stepColumns = {1, 1};
    result.VariableNames = {"", "score", "x_1", "group"};
    result.Categories = {{3, {"low", "high"}}};
    result.Seed = 11;
    BootstrapResult first;
    first.request.NumTrials = 500;
    first.NumValid = 500;
    first.ReducedR2 = 0.0;
    first.FullR2 = 0.2;
    first.DeltaR2 = 0.2;
    first.FValue = 10.0f;
    first.df1 = 1;
    first.df2 = 40;
    first.PValue = 0.003;
    first.setPercentileIntervals(0.05f, 0.40f);
    CoefficientTable one;
    one.rows = {test::coefficientRow(0, 10.0, 2.0, 5.95, 14.05, std::nullopt, 5.0, 0.00001, std::nullopt, std::nullopt,
                                     std::nullopt),
                test::coefficientRow(1, 0.8, 0.25, 0.29, 1.31, 0.45, 3.2, 0.003, 0.2, 1.0, 1.0)};
    first.Coefficients = ModelCoefficients{{}, {one, ""}};
    BootstrapResult second = first;
    second.FullR2 = 0.5;
    second.DeltaR2 = 0.3;
    second.FValue = 24.0f;
    second.df2 = 39;
    second.PValue = 0.00001;
    second.setPercentileIntervals(0.15f, 0.45f);
    CoefficientTable two;
    two.rows = {test::coefficientRow(0, 9.0, 2.0, 4.95, 13.05, std::nullopt, 4.5, 0.0001, std::nullopt, std::nullopt,
                                     std::nullopt),
                test::coefficientRow(1, 0.6, 0.2, 0.2, 1.0, 0.34, 3.0, 0.005, 0.12, 0.8, 1.25),
                test::coefficientRow(2, 4.0, 0.8, 2.38, 5.62, 0.55, 5.0, 0.00001, 0.3, 0.8, 1.25)};
    second.Coefficients = ModelCoefficients{{}, {two, ""}};
    result.steps = {first, second};

    const std::string empty = " |  |  |  |  |  |  |\n";
    EXPECT_EQ(FormatApaTableMarkdown(result, IntervalKind::Traditional, ApaCoefficientColumn::Sr2),
              "**Table 1**\n\n*Hierarchical Regression of score*\n\n"
              "| Variable | *B* | *SE B* | \u03b2 | *t* | *p* | *sr*\u00b2 |\n"
              "|:---|---:|---:|---:|---:|---:|---:|\n"
              "| Step 1"
                  + empty
                  + "| Constant | 10.00 | 2.00 |  | 5.00 | < .001 |  |\n"
                    "| x\\_1 | 0.80 | 0.25 | .45 | 3.20 | .003 | .20 |\n"
                    "| *R*\u00b2 = .20, \u0394*R*\u00b2 = .20, 95% CI [.05, .40], *F*(1, 40) = 10.00, *p* = .003"
                  + empty + "| Step 2" + empty
                  + "| Constant | 9.00 | 2.00 |  | 4.50 | < .001 |  |\n"
                    "| x\\_1 | 0.60 | 0.20 | .34 | 3.00 | .005 | .12 |\n"
                    "| group: high vs low | 4.00 | 0.80 | .55 | 5.00 | < .001 | .30 |\n"
                    "| *R*\u00b2 = .50, \u0394*R*\u00b2 = .30, 95% CI [.15, .45], *F*(1, 39) = 24.00, *p* < .001"
                  + empty
                  + "\n*Note.* *B* = unstandardized coefficient; *SE B* = standard error of *B*; \u03b2 = "
                    "standardized coefficient; *sr*\u00b2 = squared semipartial correlation, the *R*\u00b2 the model "
                    "loses when that predictor alone is dropped; CI = confidence interval of \u0394*R*\u00b2 by "
                    "percentile bootstrap (500 resamples, seed 11). *F*: each step against the step before it, with "
                    "the step's own error term.\n");

    // The text form: the step's terms set in under its heading; a model
    // without coefficients says why, and the rules reach over the longest line.
    result.steps[1].Coefficients->full = {std::nullopt, "the predictors are linearly dependent"};
    const std::string text = FormatApaTableText(result, IntervalKind::Traditional);
    EXPECT_NE(text.find("\nStep 1\n  Constant  10.00  2.00       5.00  < .001  [5.95, 14.05]\n"
                        "  x_1       0.80   0.25  .45  3.20  .003    [0.29, 1.31]\n"
                        "  R\u00b2 = .20, \u0394R\u00b2 = .20, 95% CI [.05, .40], F(1, 40) = 10.00, p = .003\n"
                        "Step 2\n  Coefficients undefined: the predictors are linearly dependent\n"
                        "  R\u00b2 = .50, \u0394R\u00b2 = .30, 95% CI [.15, .45], F(1, 39) = 24.00, p < .001\n"
                        "--------------------------------------------------------------------\nNote. "),
              std::string::npos)
        << text;

    // The modified interval's note says when its lower limit is 0.
    EXPECT_NE(FormatApaTableText(result, IntervalKind::Modified)
                  .find(" F: each step against the step before it, with the step's own error term. A modified lower "
                        "limit is 0 where the step's F change is not significant at \u03b1 = .05.\n"),
              std::string::npos);
}

using test::liveIn;

// Names from a data file that would be HTML, a link, code, mathematics,
// strikethrough, emphasis, an entity or a column in a pasted Markdown text.
const std::vector<std::string> HostileNames = {"",
                                               "<img src=x onerror=alert(1)>",
                                               "Agriculture",
                                               "Examination",
                                               "[click](http://x.example)",
                                               "`code` $x$ ~~y~~",
                                               "a*b_c|d\\e &amp;"};
const char* const LiveMarks[] = {"<img", "[click](", "](", "`", "$", "~", "*b", "_c", "|d", "\\e", "&amp;"};

// The Markdown sentence and table escape each name from the file; the
// program's own brackets, "<" and numbers stay as they are, so that the text
// of ordinary names is the plain text.
TEST(Apa, MarkdownEscapesNamesFromTheFile)
{
    const std::string version = std::string("; Orvalis ") + programVersion() + ").";
    const BootstrapResult swiss = swissResult();
    const std::string plain =
        "Adding Education, Catholic and Infant.Mortality increased R\u00b2 from .43 to .71, \u0394R\u00b2 = .27, "
        "95% CI [.11, .49], F(3, 41) = 12.77, p < .001 (percentile bootstrap, 2,000 resamples"
        + version;
    EXPECT_EQ(FormatApaSentence(swiss, IntervalKind::Traditional, ApaForm::Markdown), plain);
    EXPECT_EQ(FormatApaResults(swiss, IntervalKind::Traditional, ApaForm::Markdown).substr(0, plain.size() + 2),
              plain + "\n\n");

    BootstrapResult hostile = swiss;
    hostile.VariableNames = HostileNames;
    EXPECT_EQ(FormatApaSentence(hostile, IntervalKind::Traditional, ApaForm::Markdown),
              "Adding \\[click\\](http://x.example), \\`code\\` \\$x\\$ \\~\\~y\\~\\~ and a\\*b\\_c\\|d\\\\e \\&amp; "
              "increased R\u00b2 from .43 to .71, \u0394R\u00b2 = .27, 95% CI [.11, .49], F(3, 41) = 12.77, p < .001 "
              "(percentile bootstrap, 2,000 resamples"
                  + version);
    // The plain sentence shows the names as they are.
    EXPECT_NE(FormatApaSentence(hostile, IntervalKind::Traditional).find("Adding [click](http://x.example), `code`"),
              std::string::npos);
    const std::string markdown = FormatApaResults(hostile, IntervalKind::Traditional, ApaForm::Markdown);
    EXPECT_NE(markdown.find("\n\n*Hierarchical Regression of \\<img src=x onerror=alert(1)\\>*\n\n"), std::string::npos)
        << markdown;
    EXPECT_NE(markdown.find("| Step 2: + \\[click\\](http://x.example), \\`code\\` \\$x\\$ \\~\\~y\\~\\~, "
                            "a\\*b\\_c\\|d\\\\e \\&amp; | .71 | .27 | [.11, .49] |"),
              std::string::npos)
        << markdown;
    for (const char* mark : LiveMarks) {
        EXPECT_FALSE(liveIn(markdown, mark)) << mark << "\n" << markdown;
    }

    // A hierarchical run: a sentence per step and a row per step.
    HierarchicalResult steps;
    steps.request.DependentVariable = 1;
    steps.request.Steps = {{2, 3}, {4, 5, 6}};
    steps.VariableNames = HostileNames;
    steps.Seed = 12345;
    BootstrapResult first = hostile;
    first.request.PredictorList.clear();
    first.request.AddedList = {2, 3};
    first.ReducedR2 = 0.0;
    first.FullR2 = first.DeltaR2 = 0.4326044572;
    steps.steps = {first, hostile};
    const std::string both = FormatApaResults(steps, IntervalKind::Traditional, ApaForm::Markdown);
    EXPECT_NE(both.find("Adding \\[click\\](http://x.example), \\`code\\` \\$x\\$ \\~\\~y\\~\\~ and "
                        "a\\*b\\_c\\|d\\\\e \\&amp; in Step 2 changed R\u00b2 to .71"),
              std::string::npos)
        << both;
    EXPECT_NE(both.find("*Hierarchical Regression of \\<img src=x onerror=alert(1)\\>*"), std::string::npos);
    for (const char* mark : LiveMarks) {
        EXPECT_FALSE(liveIn(both, mark)) << mark << "\n" << both;
    }
}

// SHA-256 test vectors of FIPS 180-2; files by their bytes; anything but a
// regular file refused without being opened.
TEST(RunRecord, FingerprintsOfFiles)
{
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const test::TempDir dir;
    // Longer than a block of the reader: 2 MB and 3 bytes of 'a'.
    const std::string big((std::size_t{2} << 20) + 3, 'a');
    const Outcome<FileFingerprint> file = fingerprintFile(dir.write("big.txt", big));
    ASSERT_TRUE(file.ok());
    EXPECT_EQ(file->size, big.size());
    EXPECT_EQ(file->sha256, sha256Hex(big));
    // sha256sum tests/data/apa/swiss.csv
    const Outcome<FileFingerprint> swiss = fingerprintFile(ORVALIS_TEST_DATA_DIR "/apa/swiss.csv");
    ASSERT_TRUE(swiss.ok());
    EXPECT_EQ(swiss->sha256, "6a79dd1d2cdb9135860ea128ded61cea5c78cf480522d69c0df11d079c858b0a");

    const std::string pipe = (dir.path() / "pipe").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {pipe, dir.path().string(), (dir.path() / "missing").string()}) {
        const Outcome<FileFingerprint> refused = fingerprintFile(path);
        ASSERT_FALSE(refused.ok()) << path;
        EXPECT_EQ(refused.refusal().message.rfind("The SHA-256 of " + path + " could not be computed: ", 0), 0u)
            << refused.refusal().message;
    }

    // Against the identity at import: the same file is hashed; another one
    // renamed over it (here of the same size) is "changed since import".
    const std::string data = dir.write("data.txt", "1 2\n");
    const std::optional<FileIdentity> imported = identityOfPath(data);
    ASSERT_TRUE(imported.has_value());
    const Outcome<FileFingerprint> same = fingerprintFile(data, imported);
    ASSERT_TRUE(same.ok());
    EXPECT_FALSE(same->changedSinceImport);
    EXPECT_EQ(same->sha256, sha256Hex("1 2\n"));
    const std::string next = dir.write("next.txt", "3 4\n");
    ASSERT_EQ(std::rename(next.c_str(), data.c_str()), 0);
    const Outcome<FileFingerprint> replaced = fingerprintFile(data, imported);
    ASSERT_TRUE(replaced.ok());
    EXPECT_TRUE(replaced->changedSinceImport);
    EXPECT_EQ(replaced->size, 4u);
    EXPECT_EQ(replaced->sha256, "");
    RunRecord record = makeRunRecord({"data.txt", std::nullopt, ""}, *replaced,
                                     std::chrono::system_clock::time_point(std::chrono::seconds(1796774400)),
                                     "orvalis-cli data.txt summary");
    EXPECT_EQ(FormatRunRecord(record, RunFacts{}),
              "Record of the Run\r\n"
              "-------------------------------------\r\n"
              "Program: Orvalis "
                  + std::string(programVersion())
                  + "\r\n"
                    "Data file: data.txt\r\n"
                    "Data file size: 4 bytes as imported; SHA-256: changed since import\r\n"
                    "Date: 2026-12-09 00:00:00 UTC\r\n"
                    "Command line: orvalis-cli data.txt summary\r\n"
                    "-------------------------------------\r\n\r\n\r\n\r\n");
}

TEST(RunRecord, CommandLineAndBlock)
{
    BootstrapRequest request;
    request.DependentVariable = 1;
    request.PredictorList = {2, 3};
    request.AddedList = {4, 5};
    request.NumTrials = 2000;
    request.Level = ConfidenceLevel::P99;
    struct Case {
        DataSource source;
        const char* expected;
    };
    const Case cases[] = {
        {{"swiss.csv", "comma", ""},
         "orvalis-cli --delimiter comma swiss.csv bootstrap --dv 1 --predictors 2,3 --added 4,5 --trials 2000 "
         "--confidence 99 --seed 7 --details --record"},
        {{"/data/my study's.xlsx", std::nullopt, "Wave 2"},
         "orvalis-cli --sheet 'Wave 2' '/data/my study'\\''s.xlsx' bootstrap --dv 1 --predictors 2,3 --added 4,5 "
         "--trials 2000 --confidence 99 --seed 7 --details --record"},
        {{"-x.txt", "tab", ""},
         "orvalis-cli --delimiter tab -- -x.txt bootstrap --dv 1 --predictors 2,3 --added 4,5 --trials 2000 "
         "--confidence 99 --seed 7 --details --record"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(equivalentCommandLine(request, 7, c.source, " --details --record"), c.expected);
    }

    // The whole block, for a run of 600 trials on 47 cases with 4 predictors:
    // a large Monte Carlo error and a sample below the 50 cases the study asks for.
    BootstrapResult result;
    result.request = request;
    result.request.NumTrials = 600;
    result.request.Level = ConfidenceLevel::P95;
    result.NumValid = 600;
    result.Seed = 7;
    result.CasesRead = 50;
    result.CompleteCases = 47;
    result.FValue = 10.0f;
    result.setPercentileIntervals(0.10f, 0.50f);
    result.Details = BootstrapDetails{};
    result.Details->LowerLimitError = 0.0085;
    result.Details->UpperLimitError = 0.0126;
    // 0.0126 is above a fortieth of the width (0.01); 600 x (0.0126 / 0.01)^2 = 953 trials: 2,000 advised.
    const RunRecord record =
        makeRunRecord(result, {"swiss.csv", "comma", ""}, FileFingerprint{1757, "6a79"},
                      std::chrono::system_clock::time_point(std::chrono::seconds(1796774400)), " --details --record");
    EXPECT_EQ(FormatRunRecord(result, record),
              "Record of the Run\r\n"
              "-------------------------------------\r\n"
              "Program: Orvalis "
                  + std::string(programVersion())
                  + "\r\n"
                    "Data file: swiss.csv\r\n"
                    "Data file size: 1,757 bytes; SHA-256: 6a79\r\n"
                    "Cases read: 50; complete cases used: 47\r\n"
                    "Seed: 7; trials: 600; level: 95%\r\n"
                    "The same seed gives the same result digit for digit on any number of threads and any "
                    "processor.\r\n"
                    "Date: 2026-12-09 00:00:00 UTC\r\n"
                    "Command line: orvalis-cli --delimiter comma swiss.csv bootstrap --dv 1 --predictors 2,3 "
                    "--added 4,5 --trials 600 --confidence 95 --seed 7 --details --record\r\n"
                    "Monte Carlo standard error of the traditional limits: 0.0085 and 0.013 (binomial spread of "
                    "the limits' ranks)\r\n"
                    "Note: with 600 trials the 95% limits vary by about \u00b10.013 between seeds; 2,000 or more "
                    "trials are advisable.\r\n"
                    "Note: 47 complete cases are fewer than the 50 that Algina, Keselman and Penfield (2008) found "
                    "the modified interval needs with at most 4 predictors in the full model to keep its coverage "
                    "within [.925, .975] for changes in the population R^2 from .01 to .04.\r\n"
                    "-------------------------------------\r\n\r\n\r\n\r\n");
}

// The study's sizes by the full model's predictors; none beyond 9, which it did not cover.
TEST(RunRecord, SampleSizeGuidance)
{
    struct Case {
        std::int32_t predictors;
        std::int32_t cases;
        std::optional<std::int32_t> needed;
        bool below;
    };
    const Case cases[] = {
        {1, 49, 50, true},   {4, 50, 50, false},  {5, 149, 150, true},  {6, 150, 150, false},
        {7, 199, 200, true}, {9, 249, 200, true}, {9, 250, 200, false}, {10, 20, std::nullopt, false},
    };
    for (const Case& c : cases) {
        BootstrapResult result;
        for (std::int32_t v = 2; v <= c.predictors + 1; ++v) {
            result.request.AddedList.push_back(v);
        }
        result.CompleteCases = c.cases;
        const std::optional<SampleSizeGuidance> guidance = sampleSizeGuidance(result);
        ASSERT_EQ(guidance.has_value(), c.needed.has_value()) << c.predictors;
        if (guidance) {
            EXPECT_EQ(guidance->needed, *c.needed) << c.predictors;
            EXPECT_EQ(guidance->below, c.below) << c.predictors << " " << c.cases;
        }
    }
    // A categorical predictor counts its indicator columns: one variable of
    // 5 categories and 3 numbers are 7 columns, 200 cases needed, not 50.
    BootstrapResult categorical;
    categorical.request.PredictorList = {2, 3, 4};
    categorical.request.AddedList = {5};
    categorical.Columns = {{2, 0, 0.0f}, {3, 0, 0.0f}, {4, 0, 0.0f}, {5, 2, 2.0f},
                           {5, 3, 3.0f}, {5, 4, 4.0f},  {5, 5, 5.0f}};
    categorical.CompleteCases = 120;
    const std::optional<SampleSizeGuidance> guidance = sampleSizeGuidance(categorical);
    ASSERT_TRUE(guidance.has_value());
    EXPECT_EQ(guidance->needed, 200);
    EXPECT_TRUE(guidance->below);
}

// The Monte Carlo standard error a single run estimates for each limit agrees
// with the spread of that limit over 50 seeds within 25%.
TEST(RunRecord, LimitErrorsMatchTheSpreadOverSeeds)
{
    const ImportOutcome swiss = ImportDataFile(ORVALIS_TEST_DATA_DIR "/apa/swiss.csv", Delimiter::Comma);
    ASSERT_TRUE(swiss.ok());
    BootstrapRequest request;
    request.DependentVariable = 1;
    request.PredictorList = {2, 3};
    request.AddedList = {4, 5, 6};
    request.NumTrials = 600;
    request.Details = true;
    for (const bool upper : {false, true}) {
        double sum = 0.0;
        double squares = 0.0;
        double estimates = 0.0;
        constexpr int Seeds = 50;
        for (int seed = 1; seed <= Seeds; ++seed) {
            const Outcome<BootstrapResult> run = RunBootstrap(request, *swiss, static_cast<std::uint64_t>(seed));
            ASSERT_TRUE(run.ok());
            const Interval* limits = run->interval(IntervalKind::Traditional);
            const double limit = upper ? *limits->upper : *limits->lower;
            sum += limit;
            squares += limit * limit;
            estimates += upper ? *run->Details->UpperLimitError : *run->Details->LowerLimitError;
        }
        const double spread = std::sqrt((squares - sum * sum / Seeds) / (Seeds - 1));
        const double estimate = estimates / Seeds;
        EXPECT_NEAR(estimate / spread, 1.0, 0.25)
            << (upper ? "upper" : "lower") << ": estimate " << estimate << ", spread " << spread;
    }
}

} // namespace
} // namespace orvalis
