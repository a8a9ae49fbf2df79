#include "batch/Batch.h"

int main(int argc, char** argv)
{
    return batchMain(argc, argv);
}
