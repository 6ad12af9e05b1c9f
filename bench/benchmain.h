#pragma once

#include <benchmark/benchmark.h>

// A benchmark program's main: the benchmarks run with a Qt application of
// the given kind, as the code they measure needs one.
template<class Application> int runBenchmarks(int argc, char **argv)
{
    Application app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
