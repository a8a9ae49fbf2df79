// The three readers against damaged files: each of a few hundred mutations of
// a sound file (bytes flipped, ranges cut or doubled, numbers replaced by
// extreme or malformed ones, the file cut short) must either read cleanly
// into consistent arrays or fail with a message and leave nothing half read.
// Under the sanitizer build this also proves that no mutation reads out of
// bounds or asks for absurd amounts of memory.
#include "analysis/data/Analysis.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using testfiles::TempDir;

const std::string replacements[] = {
    "nan", "inf", "-inf", "1e999", "-1e308", "1e-320", "0", "-1", "2147483647", "2147483648",
    "99999999999999999999", "-2147483648", "0x10", "1,5", "1.5.5", "+", "-", "e5", "", " ",
    "\t", "\r", "\n", "\r\n", "%", "12abc", std::string(600, '7').c_str(),
};

// One mutation of `text`, chosen by the generator.
std::string mutate(std::string text, std::mt19937& rng)
{
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n)(rng); };
    const int kinds = 6;
    const int kind = static_cast<int>(pick(kinds - 1));
    if (text.empty())
        return text;
    const std::size_t at = pick(text.size() - 1);
    switch (kind) {
    case 0: // a random byte
        text[at] = static_cast<char>(pick(255));
        break;
    case 1: // a range cut out
        text.erase(at, pick(200));
        break;
    case 2: // a range doubled
        text.insert(at, text.substr(at, pick(300)));
        break;
    case 3: // cut short
        text.resize(at);
        break;
    case 4: { // the token at a random place replaced
        std::size_t begin = text.find_last_of(" \t\r\n:", at);
        begin = begin == std::string::npos ? 0 : begin + 1;
        std::size_t end = text.find_first_of(" \t\r\n", begin);
        if (end == std::string::npos)
            end = text.size();
        const std::string& r = replacements[pick(std::size(replacements) - 1)];
        text.replace(begin, end - begin, r);
        break;
    }
    default: { // a header count replaced (the line after a "number of"-like label)
        const char* const labels[] = {"Number of data:", "Number of Data for Analysis:",
                                      "First data for analysis:", "Last data for analysis:"};
        const std::string label = labels[pick(std::size(labels) - 1)];
        const std::size_t l = text.find(label);
        if (l == std::string::npos)
            break;
        const std::size_t begin = l + label.size();
        std::size_t end = text.find_first_of("\r\n", begin);
        if (end == std::string::npos)
            end = text.size();
        const char* const counts[] = {" 2147483647", " 1000000000", " -5", " 0", " 1", " 99999"};
        text.replace(begin, end - begin, counts[pick(std::size(counts) - 1)]);
        break;
    }
    }
    return text;
}

// A sound experimental data file, spline file and Fermi-level file of the
// bundled p-type silicon example, and the analysis they came from.
struct SoundFiles {
    TempDir dir;
    Analysis analysis;
    std::string data, spline, fermi;

    SoundFiles()
    {
        Analysis& a = analysis;
        a.resetAll();
        a.experimentalDataFileName = testfiles::example("si_p_single.nT");
        EXPECT_TRUE(a.readExperimentalData()) << a.lastError;
        data = testfiles::readAll(a.experimentalDataFileName);
        EXPECT_TRUE(a.chooseSplinePoints());
        a.smoothness = 5000;
        EXPECT_TRUE(a.computeSpline()) << a.lastError;
        a.lookupMaterial();
        a.splineFileName = dir.file("sound.spl");
        EXPECT_TRUE(a.writeSplineFile()) << a.lastError;
        spline = testfiles::readAll(a.splineFileName);
        EXPECT_TRUE(a.computeFermiLevel()) << a.lastError;
        a.fermiLevelFileName = dir.file("sound.fl");
        EXPECT_TRUE(a.writeFermiLevelFile()) << a.lastError;
        fermi = testfiles::readAll(a.fermiLevelFileName);
    }
};

// Made once from si_p_single.nT; each user first asserts that the example
// opens, so that every one of them fails naming it when it is missing.
const SoundFiles& sound()
{
    static const SoundFiles files;
    return files;
}

constexpr int mutationsPerReader = 300;

} // namespace

TEST(ReaderRobustness, NulByteOrHugeCountInADataFileIsReported)
{
    ASSERT_TRUE(testfiles::exampleReadable("si_p_single.nT"));
    TempDir dir;
    const std::string path = dir.file("nul.nT");
    std::string text = sound().data;
    std::size_t row18 = 0; // the first data row: after 17 header lines
    for (int line = 0; line < 17; ++line)
        row18 = text.find('\n', row18) + 1;
    text.insert(text.find(' ', row18), std::string(1, '\0'));
    testfiles::writeAll(path, text);
    Analysis a;
    a.resetAll();
    a.experimentalDataFileName = path;
    EXPECT_FALSE(a.readExperimentalData());
    EXPECT_NE(a.lastError.find("line 18"), std::string::npos) << a.lastError;

    // A count of two thousand million rows in a small file: a message, not
    // an attempt to make room for them.
    text = sound().data;
    const std::size_t label = text.find("% Number of data:");
    ASSERT_NE(label, std::string::npos);
    text.replace(label + 18, text.find('\r', label) - label - 18, "2000000000");
    testfiles::writeAll(path, text);
    a.resetAll();
    a.experimentalDataFileName = path;
    EXPECT_FALSE(a.readExperimentalData());
    EXPECT_NE(a.lastError.find("announces 2000000000"), std::string::npos) << a.lastError;
}

TEST(ReaderRobustness, DamagedDataFilesReadCleanlyOrFailWithAMessage)
{
    ASSERT_TRUE(testfiles::exampleReadable("si_p_single.nT"));
    TempDir dir;
    const std::string path = dir.file("damaged.nT");
    std::mt19937 rng(20261209);
    int failures = 0;
    for (int m = 0; m < mutationsPerReader; ++m) {
        std::string text = mutate(sound().data, rng);
        if (m % 3 == 0)
            text = mutate(text, rng);
        testfiles::writeAll(path, text);
        Analysis a;
        a.resetAll();
        a.experimentalDataFileName = path;
        const bool ok = a.readExperimentalData();
        SCOPED_TRACE("mutation " + std::to_string(m));
        if (ok) {
            ASSERT_GE(a.dataCount, 0);
            EXPECT_EQ(a.temperature.size(), std::size_t(a.dataCount));
            EXPECT_EQ(a.concentration.size(), std::size_t(a.dataCount));
            EXPECT_EQ(a.reliability.size(), std::size_t(a.dataCount));
        } else {
            ++failures;
            EXPECT_FALSE(a.lastError.empty());
            EXPECT_TRUE(a.temperature.empty() && a.concentration.empty() && a.reliability.empty());
        }
    }
    // The mutations must really damage files, and not every damage is fatal.
    EXPECT_GT(failures, mutationsPerReader / 10);
    EXPECT_LT(failures, mutationsPerReader);
}

TEST(ReaderRobustness, DamagedSplineFilesReadCleanlyOrLeaveNoSpline)
{
    ASSERT_TRUE(testfiles::exampleReadable("si_p_single.nT"));
    TempDir dir;
    const std::string path = dir.file("damaged.spl");
    std::mt19937 rng(1209);
    int failures = 0;
    for (int m = 0; m < mutationsPerReader; ++m) {
        std::string text = mutate(sound().spline, rng);
        if (m % 3 == 0)
            text = mutate(text, rng);
        testfiles::writeAll(path, text);
        Analysis a = sound().analysis;
        a.splineFileName = path;
        const bool ok = a.readSplineFile();
        SCOPED_TRACE("mutation " + std::to_string(m));
        if (ok) {
            ASSERT_GT(a.splineCount, 0);
            EXPECT_EQ(a.splineTemperature.size(), std::size_t(a.splineCount));
            EXPECT_EQ(a.splineConcentration.size(), std::size_t(a.splineCount));
        } else {
            ++failures;
            EXPECT_FALSE(a.lastError.empty());
            EXPECT_EQ(a.splineCount, 0);
            EXPECT_TRUE(a.splineTemperature.empty() && a.splineConcentration.empty());
        }
    }
    EXPECT_GT(failures, mutationsPerReader / 10);
    EXPECT_LT(failures, mutationsPerReader);
}

TEST(ReaderRobustness, DamagedFermiLevelFilesReadCleanlyOrLeaveNoFermiLevel)
{
    ASSERT_TRUE(testfiles::exampleReadable("si_p_single.nT"));
    TempDir dir;
    const std::string path = dir.file("damaged.fl");
    std::mt19937 rng(912);
    int failures = 0;
    for (int m = 0; m < mutationsPerReader; ++m) {
        std::string text = mutate(sound().fermi, rng);
        if (m % 3 == 0)
            text = mutate(text, rng);
        testfiles::writeAll(path, text);
        Analysis a = sound().analysis;
        a.fermiLevelFileName = path;
        const bool ok = a.readFermiLevelFile();
        SCOPED_TRACE("mutation " + std::to_string(m));
        if (ok) {
            EXPECT_EQ(a.fermiLevel.size(), std::size_t(a.splineCount));
        } else {
            ++failures;
            EXPECT_FALSE(a.lastError.empty());
            EXPECT_TRUE(a.fermiLevel.empty());
        }
    }
    EXPECT_GT(failures, mutationsPerReader / 10);
    EXPECT_LT(failures, mutationsPerReader);
}
