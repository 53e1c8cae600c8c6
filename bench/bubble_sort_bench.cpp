// Times every bubble-sort kernel this machine runs against the textbook loops, side by side in
// one run, and prints the medians as ns per compare-exchange with the ratio to the reference.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bubble_sort/bubble_sort.h"
#include "bubble_sort/kernels.h"
#include "machine_rates.h"

namespace {

using Values = std::vector<std::int32_t>;

// The input shapes, each with the lanes its values' range fits: random over the whole 32-bit
// range or within 16 or 8 bits (as numbers typed by hand, marks or a shell's $RANDOM are).
struct Shape {
    const char* name;
    int laneBits;
};
constexpr Shape kShapes[] = {
    {"random", 32}, {"ascending", 32}, {"descending", 32}, {"random16", 16}, {"random8", 8}};

Values makeInput(const std::string& shape, std::int32_t n) {
    Values values(static_cast<std::size_t>(n));
    std::mt19937 random(42);
    for (std::int32_t k = 0; k < n; ++k) {
        const auto r = static_cast<std::int32_t>(random());
        values[static_cast<std::size_t>(k)] = shape == "ascending"    ? k
                                              : shape == "descending" ? n - k
                                              : shape == "random16"   ? r % 32768 - 1000
                                              : shape == "random8"    ? r % 128 + 1000
                                                                      : r;
    }
    return values;
}

double compareExchanges(std::int32_t n) {
    return 0.5 * n * (n - 1.0);
}

// The core's clock as measured at the start of the run, for the counters per cycle.
double clockHz = 0;

// From this many elements on each sort is timed on its own as well (two clock reads, which would
// weigh on shorter sorts), for its fastest.
constexpr std::int32_t kTimedAlone = 4096;

void runSort(benchmark::State& state, const std::string& shape, BubbleSortKernel kernel) {
    using Clock = std::chrono::steady_clock;
    const auto n = static_cast<std::int32_t>(state.range(0));
    const Values input = makeInput(shape, n);
    Values values;
    const bool timedAlone = n >= kTimedAlone;
    double fastest = std::numeric_limits<double>::infinity();
    for (auto _ : state) {
        values = input;
        const Clock::time_point start = timedAlone ? Clock::now() : Clock::time_point{};
        if (kernel == nullptr) {
            bubbleSortReference(values);
        } else {
            kernel(values.data(), n, nullptr);
        }
        benchmark::DoNotOptimize(values.data());
        benchmark::ClobberMemory();
        if (timedAlone) {
            fastest =
                std::min(fastest, std::chrono::duration<double>(Clock::now() - start).count());
        }
    }
    if (!std::is_sorted(values.begin(), values.end())) {
        state.SkipWithError("not sorted");
    }
    state.counters["ns_per_ce"] = benchmark::Counter(
        compareExchanges(n) * 1e-9,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    if (clockHz > 0) {
        state.counters["ce_per_cycle"] = benchmark::Counter(
            compareExchanges(n) / clockHz, benchmark::Counter::kIsIterationInvariantRate);
        // The fastest sort's: as with the core's own rates, whatever else runs on the machine can
        // only slow a sort down.
        if (timedAlone && fastest > 0 && fastest < std::numeric_limits<double>::infinity()) {
            state.counters["fastest_ce_per_cycle"] = compareExchanges(n) / (fastest * clockHz);
        }
    }
}

// What a kernel can do at most on this core: its lanes times the compare-exchanges a cycle of
// one register, which take one min and one max (two instructions on the min/max pipes), or one
// min and one three-input logic instruction (the min on its pipes, the logic on its own).
struct Limit {
    int lanes = 0;
    double perCycle = 0;  // 0 where the core's rates were not measured
};

Limit limitOf(const std::string& kernel, const MachineRates& machine) {
    const std::size_t slash = kernel.find('/');
    if (slash == std::string::npos) {
        return {};
    }
    std::string isa = kernel.substr(0, slash);
    const bool logic = isa == "avx512tl";
    if (logic || isa == "avx512vbmi") {
        isa = "avx512";
    }
    const int laneBits = std::stoi(kernel.substr(slash + 1));
    const int registerBits = isa == "avx512" ? 512 : isa == "avx2" ? 256 : 128;
    Limit limit;
    limit.lanes = registerBits / laneBits;
    const double minMax = machine.perCycle(isa, "min" + std::to_string(laneBits));
    const double perRegister =
        logic ? std::min(minMax, machine.perCycle(isa, "logic") / 2) : minMax / 2;
    limit.perCycle = limit.lanes * perRegister;
    return limit;
}

// Collects the medians so that the ratios can be printed after the normal report.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    // Plain text: the report is meant to be read in logs and pasted, not only on a terminal.
    RatioReporter() : ConsoleReporter(OO_None) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.aggregate_name == "median" || run.repetitions <= 1) {
                const std::string name = run.run_name.function_name + "/" + run.run_name.args;
                medians_[name] = run.counters.at("ns_per_ce").value;
                const auto perCycle = run.counters.find("ce_per_cycle");
                if (perCycle != run.counters.end()) {
                    perCycle_[name] = perCycle->second.value;
                }
                const auto fastest = run.counters.find("fastest_ce_per_cycle");
                if (fastest != run.counters.end()) {
                    fastest_[name] = fastest->second.value;
                }
            }
        }
    }

    // Compare-exchanges a cycle at n against the limit of the kernel's lanes, for every kernel
    // on the shape of its width and for the dispatched sort on each width: over all the sorts
    // of a run (the median of the runs), and in the fastest sort (the median of the runs'
    // fastest), which a busy machine sways less.
    void printPerCycle(const std::vector<std::pair<std::string, int>>& columns, int n,
                       const MachineRates& machine) const {
        if (machine.clockGHz <= 0) {
            return;
        }
        std::printf(
            "\ncompare-exchanges a cycle at n = %d, at %.2f GHz, against the limit of the "
            "kernel's lanes\n",
            n, machine.clockGHz);
        std::printf("%-13s %-8s %5s %8s %8s %6s %8s %6s\n", "kernel", "shape", "lanes", "CE/cycle",
                    "limit", "share", "fastest", "share");
        for (const auto& [name, laneBits] : columns) {
            for (const Shape& shape : kShapes) {
                // Random input of each width the column takes: the dispatched sort every width.
                const bool dispatched = name == "dispatched";
                const bool random = std::string(shape.name).rfind("random", 0) == 0;
                if (!random || (shape.laneBits != laneBits && !dispatched)) {
                    continue;
                }
                const auto it = perCycle_.find(name + "/" + shape.name + "/" + std::to_string(n));
                if (it == perCycle_.end()) {
                    continue;
                }
                const std::string kernel =
                    dispatched ? kernelName(chooseBubbleSortKernel(n, shape.laneBits)) : name;
                const Limit limit = limitOf(kernel, machine);
                std::printf("%-13s %-8s", dispatched ? ("=" + kernel).c_str() : name.c_str(),
                            shape.name);
                const auto best = fastest_.find(it->first);
                const double fastest = best == fastest_.end() ? 0 : best->second;
                if (limit.perCycle > 0) {
                    std::printf(" %5d %8.2f %8.2f %5.0f%%", limit.lanes, it->second, limit.perCycle,
                                100 * it->second / limit.perCycle);
                    if (fastest > 0) {
                        std::printf(" %8.2f %5.0f%%", fastest, 100 * fastest / limit.perCycle);
                    }
                    std::printf("\n");
                } else {
                    std::printf(" %5s %8.2f %8s %6s\n", "-", it->second, "-", "-");
                }
            }
        }
    }

    void printRatios(const std::vector<std::string>& kernels, const std::vector<int>& sizes) const {
        std::printf("\nmedian ns per compare-exchange (speed-up against the reference)\n");
        std::printf("%-11s %6s", "shape", "n");
        for (const std::string& kernel : kernels) {
            std::printf(" %20s", kernel.c_str());
        }
        std::printf("\n");
        for (const Shape& shapeInfo : kShapes) {
            const char* shape = shapeInfo.name;
            for (const int n : sizes) {
                const auto find = [&](const std::string& kernel) {
                    const auto it = medians_.find(kernel + "/" + shape + "/" + std::to_string(n));
                    return it == medians_.end() ? 0.0 : it->second;
                };
                const double reference = find("reference");
                std::printf("%-11s %6d", shape, n);
                for (const std::string& kernel : kernels) {
                    const double ns = find(kernel);
                    if (ns > 0 && reference > 0) {
                        std::printf(" %10.4f (%6.1fx)", ns, reference / ns);
                    } else {
                        std::printf(" %20s", "-");
                    }
                }
                std::printf("\n");
            }
        }
    }

  private:
    static std::string kernelName(BubbleSortKernel sort) {
        for (const KernelInfo& kernel : bubbleSortKernels()) {
            if (kernel.sort == sort) {
                return kernel.name;
            }
        }
        return "?";
    }

    std::map<std::string, double> medians_;
    std::map<std::string, double> perCycle_;
    std::map<std::string, double> fastest_;  // the fastest sort's compare-exchanges a cycle
};

}  // namespace

int main(int argc, char** argv) {
    // The core's clock and issue rates first, kept with the run.
    const MachineRates machine = measureMachineRates();
    clockHz = machine.clockGHz * 1e9;
    if (machine.clockGHz > 0) {
        benchmark::AddCustomContext("clock_ghz", std::to_string(machine.clockGHz));
    }
    for (const IssueRate& rate : machine.rates) {
        benchmark::AddCustomContext("per_cycle/" + rate.isa + "/" + rate.kind,
                                    std::to_string(rate.perCycle));
        benchmark::AddCustomContext("instruction/" + rate.isa + "/" + rate.kind, rate.instruction);
    }
    // Each kernel's limit on this core, kept for the chart.
    for (const KernelInfo& kernel : bubbleSortKernels()) {
        const Limit limit = limitOf(kernel.name, machine);
        if (limit.perCycle > 0) {
            benchmark::AddCustomContext(std::string("limit/") + kernel.name,
                                        std::to_string(limit.perCycle));
        }
    }

    // Each column's kernel for n elements whose range fits laneBits, and the widest range it
    // takes (the width of its lanes); no kernel means the textbook loops.
    using Chooser = std::function<BubbleSortKernel(std::int32_t n, int laneBits)>;
    struct Column {
        std::string name;
        Chooser choose;
        int laneBits;
    };
    std::vector<Column> columns = {
        {"reference", [](std::int32_t, int) -> BubbleSortKernel { return nullptr; }, 32}};
    for (const KernelInfo& kernel : bubbleSortKernels()) {
        if (kernel.supported) {
            columns.push_back({kernel.name,
                               [sort = kernel.sort](std::int32_t, int) { return sort; },
                               kernel.laneBits});
        }
    }
    // As bubbleSort picks: by the size and the range of the values.
    columns.push_back(
        {"dispatched",
         [](std::int32_t n, int laneBits) { return chooseBubbleSortKernel(n, laneBits); }, 32});

    std::vector<std::string> names;
    for (const Column& column : columns) {
        const std::string& name = column.name;
        const Chooser& choose = column.choose;
        names.push_back(name);
        for (const Shape& shapeInfo : kShapes) {
            if (shapeInfo.laneBits > column.laneBits) {
                continue;  // a narrow kernel takes only values that fit its lanes
            }
            const std::string shape = shapeInfo.name;
            const int laneBits = shapeInfo.laneBits;
            benchmark::RegisterBenchmark((name + "/" + shape).c_str(),
                                         [shape, laneBits, choose](benchmark::State& state) {
                                             const auto n =
                                                 static_cast<std::int32_t>(state.range(0));
                                             runSort(state, shape, choose(n, laneBits));
                                         })
                ->Arg(2)
                ->Arg(3)
                ->Arg(4)
                ->Arg(8)
                ->Arg(16)
                ->Arg(32)
                ->Arg(48)
                ->Arg(64)
                ->Arg(96)
                ->Arg(128)
                ->Arg(192)
                ->Arg(256)
                ->Arg(384)
                ->Arg(512)
                ->Arg(768)
                ->Arg(1024)
                ->Arg(1536)
                ->Arg(2048)
                ->Arg(4096)
                ->Arg(8192)
                ->Arg(16384)
                ->Arg(65536)
                ->Unit(benchmark::kMillisecond)
                ->MinTime(0.2);
        }
    }

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios(names, {2, 3, 4, 8, 16, 32, 48, 64, 128, 192, 256, 384, 512});
    reporter.printRatios(names, {768, 1024, 1536, 2048, 4096, 8192, 16384, 65536});
    std::vector<std::pair<std::string, int>> perCycleColumns;
    for (const Column& column : columns) {
        if (column.name != "reference") {
            perCycleColumns.emplace_back(column.name, column.laneBits);
        }
    }
    reporter.printPerCycle(perCycleColumns, 65536, machine);
    benchmark::Shutdown();
    return 0;
}
