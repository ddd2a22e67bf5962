// How often the machine itself stops a thread that only computes: the floor under the late counts
// of race_frames_bench. One core runs the same small piece of arithmetic (about half a
// millisecond) over and over for a minute, nothing else of the game running, and each piece's
// processor time is taken. On a machine of its own every piece takes the same time; on a virtual
// machine whose host takes the core away now and then, the thread is charged for the time it was
// stopped, and a piece takes tens of milliseconds. A paced frame has 16.7 ms: each such stall that
// lands in a frame's work makes that frame late, whatever the game does. Counters:
//   stalls/min   pieces that took more than three times the usual time, per minute
//   over 10 ms   of those, the ones longer than 10 ms (enough to make a frame late on their own)
//   worst        the longest piece, in milliseconds
//   usual        the usual piece, in milliseconds
//   machine_stall_bench --benchmark_filter=MachineStalls/seconds:60
#include <benchmark/benchmark.h>

#include <sched.h>
#include <time.h>

#include <algorithm>

namespace {

double ThreadSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double WallSeconds() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The piece of work: a dependent chain the compiler cannot shorten.
double Piece(double x) {
    for (int i = 0; i < 200000; ++i) x = x * 1.0000001 + 1e-9;
    return x;
}

void BM_MachineStalls(benchmark::State& state) {
    const double seconds = static_cast<double>(state.range(0));
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(0, &one);
    sched_setaffinity(0, sizeof(one), &one);
    long pieces = 0, stalls = 0, longStalls = 0;
    double usual = 0.0, worst = 0.0, x = 1.0;
    for (auto _ : state) {
        // The usual time: the shortest of the first hundred pieces.
        usual = 1e9;
        for (int i = 0; i < 100; ++i) {
            const double t0 = ThreadSeconds();
            x = Piece(x);
            usual = std::min(usual, ThreadSeconds() - t0);
        }
        const double end = WallSeconds() + seconds;
        while (WallSeconds() < end) {
            const double t0 = ThreadSeconds();
            x = Piece(x);
            const double took = ThreadSeconds() - t0;
            ++pieces;
            worst = std::max(worst, took);
            if (took > 3.0 * usual) ++stalls;
            if (took > 0.010) ++longStalls;
        }
    }
    benchmark::DoNotOptimize(x);
    state.counters["stalls/min"] = static_cast<double>(stalls) * 60.0 / seconds;
    state.counters["over 10 ms"] = static_cast<double>(longStalls);
    state.counters["worst"] = 1000.0 * worst;
    state.counters["usual"] = 1000.0 * usual;
    state.counters["pieces"] = static_cast<double>(pieces);
}
BENCHMARK(BM_MachineStalls)->ArgName("seconds")->Arg(60)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
