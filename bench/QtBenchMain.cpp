// The main of the benchmarks whose code needs a Qt application object (the
// device objects' event passes, timers and child processes); with
// ZELK_BENCH_WIDGETS, one that draws windows, off screen.
#include <benchmark/benchmark.h>

#ifdef ZELK_BENCH_WIDGETS
#include <QApplication>
using BenchApplication = QApplication;
#else
#include <QCoreApplication>
using BenchApplication = QCoreApplication;
#endif

int main(int argc, char **argv)
{
#ifdef ZELK_BENCH_WIDGETS
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    BenchApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
