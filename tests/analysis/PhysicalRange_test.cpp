// What the readers accept, what counts as a physical result, and that no save
// replaces an input of the analysis or writes a value that is not a number.
#include "analysis/data/Analysis.h"
#include "analysis/data/DataEntry.h"
#include "analysis/base/PhysicalResult.h"
#include "TestFiles.h"
#include "analysis/base/TextFile.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using testfiles::TempDir;

namespace {

// si_p_single.nT with line `line` (1-based) replaced.
std::string exampleWithLine(int line, const std::string& text)
{
    std::vector<std::string> lines = testfiles::crlfLines(testfiles::readAll(testfiles::example("si_p_single.nT")));
    lines.at(line - 1) = text;
    std::string out;
    for (const std::string& l : lines)
        out += l + "\r\n";
    return out;
}

bool readData(const std::string& path, Analysis& a)
{
    a.resetAll();
    a.experimentalDataFileName = path;
    return a.readExperimentalData();
}

} // namespace

TEST(ConductionType, OnlyNTypeAndPTypeWhateverTheCaseBlanksOrDash)
{
    struct Case {
        const char* text;
        const char* canonical; // nullptr: refused
    };
    const Case cases[] = {
        {"n-type", "n-type"},       {"N-TYPE", "n-type"},        {"  n-type\t", "n-type"},
        {"n-type\r", "n-type"},     {"n-type \r\r", "n-type"},   {"p-Type", "p-type"},
        {"n\xE2\x80\x93type", "n-type"}, {"p\xE2\x88\x92type", "p-type"}, {"n\x96type", "n-type"},
        {"", nullptr},              {"n", nullptr},              {"x-type", nullptr},
        {"np-type", nullptr},       {"n type", nullptr},         {"n-types", nullptr},
        {"ntype", nullptr},         {"n--type", nullptr},        {"n-ty pe", nullptr},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::string canonical = "unchanged";
        EXPECT_EQ(Analysis::canonicalConductionType(c.text, canonical), c.canonical != nullptr);
        // The data file's reader: the same answer, a refusal naming line 11.
        const std::string path = dir.file("s.nT");
        testfiles::writeAll(path, exampleWithLine(11, std::string("% Conduction type: ") + c.text));
        Analysis a;
        const bool read = readData(path, a);
        EXPECT_EQ(read, c.canonical != nullptr) << a.lastError;
        if (c.canonical) {
            EXPECT_EQ(canonical, c.canonical);
            EXPECT_EQ(a.conductionType, c.canonical);
        } else {
            EXPECT_EQ(canonical, "unchanged");
            EXPECT_NE(a.lastError.find("line 11: the conduction type"), std::string::npos) << a.lastError;
        }
        // The data sheet and the converter refuse what the reader refuses.
        dataentry::SampleForm form;
        form.conductionType = c.text;
        const dataentry::SaveCheck check =
            dataentry::checkConversion("10 1e15\n20 2e15\n", dataentry::Columns{0, 1, -1}, form);
        EXPECT_EQ(check.ready(), c.canonical != nullptr) << check.message;
        if (c.canonical) {
            EXPECT_EQ(check.form.conductionType, c.canonical);
        }
    }
}

TEST(DataFileValues, OutsideThePhysicalRangeRefusedWithTheLine)
{
    // Line 18 is the first point: "30     1.16271e+12     1".
    struct Case {
        int line;
        const char* text;
        const char* refusal; // nullptr: read
    };
    const Case cases[] = {
        {18, "3000     1.16271e+12     1", nullptr},
        {18, "0.001     1.16271e+12     1", nullptr},
        {18, "0     1.16271e+12     1", "line 18: the temperature 0 K"},
        {18, "-30     1.16271e+12     1", "line 18: the temperature -30 K"},
        {18, "3000.5     1.16271e+12     1", "line 18: the temperature 3000.5 K"},
        {18, "199999     1.16271e+12     1", "line 18: the temperature 199999 K"},
        {18, "30     1e-30     1", nullptr},
        {18, "30     1e25     1", nullptr},
        {18, "30     9e-31     1", "line 18: the concentration"},
        {18, "30     4.9e-324     1", "line 18: the concentration"},
        {18, "30     1.1e25     1", "line 18: the concentration"},
        {18, "30     1.7976931348623157e308     1", "line 18: the concentration"},
        {18, "30     -1e15     1", "line 18: the concentration"},
        {15, "% Number of data: 10001", "line 15: the file announces 10001 data"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string path = dir.file("s.nT");
        testfiles::writeAll(path, exampleWithLine(c.line, c.text));
        Analysis a;
        const bool read = readData(path, a);
        EXPECT_EQ(read, c.refusal == nullptr) << a.lastError;
        if (c.refusal) {
            EXPECT_NE(a.lastError.find(c.refusal), std::string::npos) << a.lastError;
        }
    }
}

TEST(PhysicalResult, DensitiesLevelsAndCompensation)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        std::vector<physical::Species> species;
        double compensating;
        const char* problem; // nullptr: physical
    };
    const Case cases[] = {
        {{{1e16, 0.045}}, 1e15, nullptr},
        {{{1e23, 0.001}, {1, 1.5}}, -1e14, nullptr},
        {{{1e16, 0.045}}, 0, nullptr},
        {{{-1.95e16, 0.2}}, 0, "density"},
        {{{0, 0.2}}, 0, "density"},
        {{{1.0000001e23, 0.2}}, 0, "density"},
        {{{9e34, 0.05}}, 0, "density"},
        {{{nan, 0.05}}, 0, "density"},
        {{{1e16, -0.0105}}, 0, "energy level -0.0105 eV"},
        {{{1e16, 0.0009}}, 0, "energy level"},
        {{{3.7e22, 9958}}, 0, "energy level 9958 eV"},
        {{{1e16, 0.05}, {1e15, inf}}, 0, "energy level"},
        {{{1e16, 0.05}}, nan, "compensating density"},
        {{{1e16, 0.05}}, -inf, "compensating density"},
    };
    for (const Case& c : cases) {
        const std::string p = physical::problem(c.species, c.compensating);
        if (!c.problem) {
            EXPECT_EQ(p, "");
            continue;
        }
        EXPECT_EQ(p.rfind(c.problem, 0), 0u) << p;
        EXPECT_EQ(physical::noPhysicalResult(p).rfind("The analysis gave no physical result: " + p, 0), 0u);
    }
}

TEST(ProtectedInputs, NoSaveReplacesAnInputByAnyName)
{
    TempDir dir;
    const std::string input = dir.file("sample.spl");
    testfiles::writeAll(input, "the measurement");
    ASSERT_EQ(::link(input.c_str(), dir.file("hard.H1").c_str()), 0);
    fs::create_symlink(input, dir.path() / "soft.H1");
    textfile::setProtectedInputs({input});
    struct Case {
        std::string path;
        bool mayReplaceInput;
        bool written;
    };
    const Case cases[] = {
        {input, false, false},
        {dir.file("./sample.spl"), false, false},
        {dir.file("hard.H1"), false, false},
        {dir.file("soft.H1"), false, false},
        {dir.file("other.H1"), false, true},
        {input, true, true}, // a data file saved over its own sample
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string error;
        EXPECT_EQ(textfile::writeAtomic(c.path, "a result", error, c.mayReplaceInput), c.written) << error;
        if (!c.written) {
            EXPECT_NE(error.find(c.path), std::string::npos) << error;
            EXPECT_NE(error.find("input " + input), std::string::npos) << error;
            EXPECT_EQ(testfiles::readAll(input), "the measurement");
        }
    }
    textfile::setProtectedInputs({});
}

TEST(ResultFiles, NeverHoldAValueThatIsNotANumber)
{
    TempDir dir;
    const std::string path = dir.file("r.H1");
    testfiles::writeAll(path, "previous");
    struct Case {
        const char* content;
        bool written;
    };
    const Case cases[] = {
        {"% Density: 1e+16\r\n30     -nan     1\r\n", false},
        {"% Density [cm^-3]: NAN\r\n", false},
        {"30     inf\r\n", false},
        {"30\t-INF\r\n", false},
        {"% Original file: /data/banana.nT\r\n% information: infinite patience\r\n1e+16\r\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.content);
        std::string error;
        EXPECT_EQ(textfile::writeResult(path, c.content, error), c.written) << error;
        EXPECT_EQ(testfiles::readAll(path), c.written ? std::string(c.content) : "previous");
        if (!c.written) {
            EXPECT_NE(error.find("is not a number"), std::string::npos) << error;
        }
        testfiles::writeAll(path, "previous");
    }
}
