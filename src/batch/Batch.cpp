// The command line of vorn-batch: its entry point; the options (BatchOptions.cpp),
// the output (BatchOutput.cpp) and the worker processes (BatchWorkers.cpp) apart.
#include "batch/Batch.h"

#include <unistd.h>

#include <iostream>

#ifndef VORN_VERSION_TEXT
#define VORN_VERSION_TEXT "1.7.1"
#endif

namespace {

// A table or summary that did not reach the standard output (a full disk, a
// closed pipe) is a failed run, whatever the analyses did.
int finishOutput(int status)
{
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "vorn-batch: the standard output could not be written; the results summary is lost\n";
        status = 2;
    }
    std::cerr.flush();
    if (!std::cerr)
        status = 2;
    return status;
}

} // namespace

int batchMain(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    BatchOptions o;
    o.releaseFlag = VORN_RELEASE_FLAG;
    std::vector<std::string> files;
    bool stop = false;
    std::string error;
    int rc = parseBatchArguments(args, o, files, stop, error);
    if (stop) {
        bool version = false;
        for (const std::string& a : args)
            version = version || a == "--version";
        std::cout << (version ? std::string("vorn-batch (VORN) " VORN_VERSION_TEXT "\n") : batchUsage());
        return finishOutput(0);
    }
    if (rc != 0) {
        std::cerr << "vorn-batch: " << error << "\nTry 'vorn-batch --help' for more information.\n";
        return finishOutput(rc);
    }
    o.progress = ::isatty(2) != 0;
    installBatchInterruptHandler();
    const int status = runBatch(files, o, std::cout, std::cerr);
    return finishOutput(status);
}
