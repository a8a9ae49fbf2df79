// vorn-batch never writes over one of its inputs, never replaces a data file
// it was not asked to, and never reports a success it did not have.
#include "analysis/data/Analysis.h"
#include "batch/Batch.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class BatchInputs : public ::testing::Test {
protected:
    Analysis saved = C;
    testfiles::TempDir dir;
    void TearDown() override { C = saved; }

    BatchOptions parse(std::vector<std::string> args, const std::string& file)
    {
        BatchOptions o;
        std::vector<std::string> files;
        bool stop = false;
        std::string error;
        args.push_back(file);
        EXPECT_EQ(parseBatchArguments(args, o, files, stop, error), 0) << error;
        o.jobs = 1;
        o.quiet = true;
        return o;
    }
};

} // namespace

TEST_F(BatchInputs, AResultNamedLikeAnInputIsRefusedAndTheInputKept)
{
    struct Case {
        const char* name;                // the data file, named like a result
        std::vector<std::string> args;
    } cases[] = {
        {"s.spl", {}},
        {"s.H1", {}},
        {"s.simH", {}},
        {"s.CNO", {"--one-impurity"}},
        {"s.DHES", {"--dhes"}},
        {"s.cft", {"--fit"}},
    };
    const std::string example = testfiles::readAll(testfiles::example("si_p_single.nT"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string input = dir.file(c.name);
        testfiles::writeAll(input, example);
        std::ostringstream out, err;
        EXPECT_EQ(runBatch({input}, parse(c.args, input), out, err), 2);
        EXPECT_EQ(testfiles::readAll(input), example);
        EXPECT_NE(err.str().find("it is the input " + input), std::string::npos) << err.str();
    }

    // Through a link in the output folder: the same file under another name.
    const std::string input = dir.file("s.nT");
    testfiles::writeAll(input, example);
    fs::create_directories(dir.path() / "out");
    ASSERT_EQ(::link(input.c_str(), dir.file("out/s.fl").c_str()), 0);
    BatchOptions o = parse({"--output-dir", dir.file("out")}, input);
    std::ostringstream out, err;
    EXPECT_EQ(runBatch({input}, o, out, err), 2);
    EXPECT_EQ(testfiles::readAll(input), example);
    EXPECT_NE(err.str().find(dir.file("out/s.fl")), std::string::npos) << err.str();
}

TEST_F(BatchInputs, AConversionReplacesAnExistingDataFileOnlyWhenAsked)
{
    const std::string source = dir.file("run.txt");
    std::string text;
    for (int T = 30; T <= 300; T += 10)
        text += std::to_string(T) + " " + std::to_string(1e15 * T / 300) + "\n";
    testfiles::writeAll(source, text);
    const std::string existing = dir.file("run.nT");
    testfiles::writeAll(existing, "someone's data");
    for (bool overwrite : {false, true}) {
        std::vector<std::string> args = {"--columns", "1,2", "--type", "n", "--material", "Si"};
        if (overwrite)
            args.push_back("--overwrite");
        std::ostringstream err;
        const BatchResult r = runBatchFile(source, parse(args, source), err);
        if (!overwrite) {
            EXPECT_EQ(r.status, 2);
            EXPECT_EQ(testfiles::readAll(existing), "someone's data");
            EXPECT_NE(err.str().find("exists already; it is not replaced"), std::string::npos) << err.str();
        } else {
            EXPECT_NE(testfiles::readAll(existing), "someone's data") << err.str();
        }
    }
}

TEST_F(BatchInputs, DonorAcceptorTakesAPhysicalNetDensity)
{
    struct Case {
        const char* value;
        bool accepted;
    } cases[] = {
        {"1e16", true},  {"1e23", true},   {"1.0000001e23", false}, {"1e25", false},
        {"1e300", false}, {"1.7976931348623157e308", false}, {"0", false}, {"-1e16", false},
        {"nan", false},  {"1e16:50:300", true},
    };
    for (const Case& c : cases) {
        BatchOptions o;
        std::string error;
        EXPECT_EQ(parseDonorAcceptor(c.value, o, error), c.accepted) << c.value << ": " << error;
    }
}

TEST_F(BatchInputs, AStandardOutputThatCannotBeWrittenFailsTheRun)
{
    const std::string input = dir.file("s.nT");
    testfiles::writeAll(input, testfiles::readAll(testfiles::example("si_p_single.nT")));
    for (const char* options : {"--json", "", "--help"}) {
        SCOPED_TRACE(options);
        const std::string cmd = std::string(VORN_BATCH_PROGRAM) + " " + options + " --output-dir " +
                                dir.file("out") + " " + input + " >/dev/full 2>" + dir.file("err.txt");
        const int status = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 2);
        EXPECT_NE(testfiles::readAll(dir.file("err.txt")).find("the standard output could not be written"),
                  std::string::npos);
    }
}

namespace {

// A process that no longer runs: gone, or a zombie nobody reaped yet.
bool ended(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return true;
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

} // namespace

TEST_F(BatchInputs, WorkersEndWithTheirParent)
{
    std::vector<std::string> args = {VORN_BATCH_PROGRAM, "-q", "-j", "2", "--fit", "--dhes",
                                     "--output-dir", dir.file("out")};
    const std::string example = testfiles::readAll(testfiles::example("sic4h_n_two_donors.nT"));
    for (int i = 0; i < 12; ++i) {
        args.push_back(dir.file("s" + std::to_string(i) + ".nT"));
        testfiles::writeAll(args.back(), example);
    }
    // The folder exists before the run: a parent killed before its workers
    // made it must not turn the check below into an exception.
    fs::create_directories(dir.file("out"));
    const pid_t batch = ::fork();
    if (batch == 0) {
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    // Wait for both workers, then kill the parent outright.
    std::vector<pid_t> workers;
    for (int tries = 0; tries < 200 && workers.size() < 2; ++tries) {
        ::usleep(10000);
        workers.clear();
        std::ifstream children("/proc/" + std::to_string(batch) + "/task/" + std::to_string(batch) + "/children");
        for (pid_t w; children >> w;)
            workers.push_back(w);
    }
    ASSERT_EQ(workers.size(), 2u);
    ::kill(batch, SIGKILL);
    ::waitpid(batch, nullptr, 0);
    ::usleep(300000);
    for (pid_t w : workers)
        EXPECT_TRUE(ended(w)) << "worker " << w << " still runs";
    for (const auto& e : fs::directory_iterator(dir.file("out")))
        EXPECT_NE(e.path().filename().string().rfind(".vorn-", 0), 0u) << e.path();
}
