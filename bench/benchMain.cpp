// Runs the benchmarks (one thread, but for the thread counts' own), keeps the median of each,
// then prints the comparison: our stages and whole pipeline against OpenCV's, the ratios, the
// painting's share, the memory-bandwidth bound of each, and the whole pipeline on 1 thread and
// on all, beside OpenCV's chain on as many. --table=PATH also writes it there as markdown.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cpu/kernelPath.h"
#include "cpu/rowPool.h"

namespace {

struct Figure {
    double ms = 0;
    double realMs = 0;  // wall clock
    double bytes = 0;
    bool median = false;
};

// The console output as usual; besides, the median CPU time (or that of the only run) of
// every benchmark.
class Collector : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, Figure> figures;  // "BM_Ours_Whole/640/480" -> figure

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool isMedian =
                run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const std::string key = run.run_name.function_name + "/" + run.run_name.args;
            Figure& f = figures[key];
            if (run.error_occurred || (run.run_type == Run::RT_Aggregate && !isMedian) ||
                (f.median && !isMedian)) {
                continue;
            }
            f.ms = run.GetAdjustedCPUTime();
            f.realMs = run.GetAdjustedRealTime();
            const auto bytes = run.counters.find("bytes");
            f.bytes = bytes != run.counters.end() ? bytes->second.value : 0;
            f.median = isMedian;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

struct Size {
    int width;
    int height;
};
const Size kSizes[] = {{640, 480}, {1920, 1080}, {3840, 2160}};

struct Stage {
    const char* name;
    const char* ours;
    const char* openCv;  // nullptr: OpenCV has no such stage
};
const Stage kStages[] = {
    {"YUY2 → BGR", "BM_Ours_Yuy2ToBgr", "BM_OpenCV_Yuy2ToBgr"},
    {"BGR → grey", "BM_Ours_BgrToGrey", "BM_OpenCV_BgrToGrey"},
    {"YUY2 → BGR + grey, one pass", "BM_Ours_Yuy2ToBgrGrey", nullptr},
    {"warp", "BM_Ours_Warp", "BM_OpenCV_Warp"},
    {"**whole pipeline**", "BM_Ours_Whole", "BM_OpenCV_Chain"},
    {"painting (draw ×2)", "BM_Ours_Paint", nullptr},
};

std::string number(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Milliseconds with three significant figures or so.
std::string ms(double value) {
    return number(value, value < 1 ? 3 : value < 10 ? 2 : 1);
}

std::string table(const Collector& c, int allThreads) {
    auto get = [&](const std::string& family, const Size& s) -> const Figure* {
        const auto it =
            c.figures.find(family + "/" + std::to_string(s.width) + "/" + std::to_string(s.height));
        return it == c.figures.end() || it->second.ms <= 0 ? nullptr : &it->second;
    };
    std::ostringstream out;
    out << "| frame | stage | ours (ms) | OpenCV 4.6 (ms) | ours / OpenCV | memory bound (ms) |\n"
        << "|---|---|---:|---:|---:|---:|\n";
    for (const Size& s : kSizes) {
        const std::string frame = std::to_string(s.width) + " × " + std::to_string(s.height);
        const Figure* copy = get("BM_Memory_Copy", s);
        // Bytes read plus bytes written per millisecond of a plain copy of the same amount.
        const double bytesPerMs = copy != nullptr ? copy->bytes / copy->ms : 0;
        for (const Stage& stage : kStages) {
            const Figure* ours = get(stage.ours, s);
            const Figure* peer = stage.openCv != nullptr ? get(stage.openCv, s) : nullptr;
            if (ours == nullptr) {
                continue;
            }
            out << "| " << frame << " | " << stage.name << " | " << ms(ours->ms) << " | "
                << (peer != nullptr ? ms(peer->ms) : "–") << " | "
                << (peer != nullptr ? number(ours->ms / peer->ms, 2) : "–") << " | "
                << (bytesPerMs > 0 ? ms(ours->bytes / bytesPerMs) : "–") << " |\n";
        }
    }
    out << "\n| frame | copy bandwidth (GB/s, read + written) | painting / pipeline |";
    const std::vector<KernelPath> paths = availableKernelPaths();
    for (const KernelPath path : paths) {
        out << " whole on " << kernelPathName(path) << " (ms) |";
    }
    const std::string all = std::to_string(allThreads) + " threads";
    out << " whole, 1 thread (ms, wall) | OpenCV, 1 thread (ms, wall) | ours / OpenCV | whole, "
        << all << " (ms, wall) | OpenCV, " << all << " (ms, wall) | ours / OpenCV |";
    out << "\n|---|---:|---:|";
    for (std::size_t i = 0; i < paths.size() + 6; ++i) {
        out << "---:|";
    }
    out << "\n";
    for (const Size& s : kSizes) {
        const Figure* copy = get("BM_Memory_Copy", s);
        const Figure* whole = get("BM_Ours_Whole", s);
        const Figure* paint = get("BM_Ours_Paint", s);
        out << "| " << s.width << " × " << s.height << " | "
            << (copy != nullptr ? number(copy->bytes / copy->ms / 1e6, 1) : "–") << " | "
            << (whole != nullptr && paint != nullptr ? number(100 * paint->ms / whole->ms, 1) + " %"
                                                     : "–")
            << " |";
        for (const KernelPath path : paths) {
            const Figure* f = get(std::string("BM_Path_") + kernelPathName(path), s);
            out << " " << (f != nullptr ? ms(f->ms) : "–") << " |";
        }
        for (const char* threads : {"1", "all"}) {
            const Figure* ours = get(std::string("BM_Threads_") + threads, s);
            const Figure* peer = get(std::string("BM_OpenCV_Threads_") + threads, s);
            out << " " << (ours != nullptr ? ms(ours->realMs) : "–") << " | "
                << (peer != nullptr ? ms(peer->realMs) : "–") << " | "
                << (ours != nullptr && peer != nullptr ? number(ours->realMs / peer->realMs, 2)
                                                       : "–")
                << " |";
        }
        out << "\n";
    }
    // The lens map: the whole pipeline with a barrel lens on and off, in one run.
    out << "\n| frame | lens off, 1 thread (ms, wall) | lens on | on / off | lens off, 2 threads | "
           "lens on | on / off |";
    for (const KernelPath path : paths) {
        out << " lens on, " << kernelPathName(path) << " (ms) |";
    }
    out << "\n|---|---:|---:|---:|---:|---:|---:|";
    for (std::size_t i = 0; i < paths.size(); ++i) {
        out << "---:|";
    }
    out << "\n";
    for (const Size& s : kSizes) {
        out << "| " << s.width << " × " << s.height << " |";
        for (const char* threads : {"1", "2"}) {
            const Figure* off = get(std::string("BM_Lens_off_Threads_") + threads, s);
            const Figure* on = get(std::string("BM_Lens_on_Threads_") + threads, s);
            out << " " << (off != nullptr ? ms(off->realMs) : "–") << " | "
                << (on != nullptr ? ms(on->realMs) : "–") << " | "
                << (off != nullptr && on != nullptr ? number(on->realMs / off->realMs, 2) : "–")
                << " |";
        }
        for (const KernelPath path : paths) {
            const Figure* f = get(std::string("BM_PathLens_") + kernelPathName(path), s);
            out << " " << (f != nullptr ? ms(f->ms) : "–") << " |";
        }
        out << "\n";
    }
    if (const Figure* table = get("BM_PointTable_Threads_2", kSizes[2])) {
        out << "\nA source point stored per output pixel instead (4K, 2 threads): "
            << ms(table->realMs) << " ms.\n";
    }
    return out.str();
}

// What the table shows, for the markdown file.
const char* const kReading =
    "Reading the table: *ours* is the program's own code on the fastest path the processor "
    "has, byte for byte the per-pixel definition (16.16 YUY2 formula, plain grey mean, the "
    "warp's double arithmetic with two divisions per pixel). OpenCV computes other bytes "
    "(weighted grey, fixed-point interpolation); only its time is compared. The whole "
    "pipeline is the conversion in one pass plus the warp; OpenCV's chain is its three calls. "
    "The warp stays far above its memory bound: per pixel it needs two double divisions, two "
    "floors and the bilinear blend of four neighbours in double, so it is bound by the "
    "arithmetic, not by memory. The conversions are close to their bound. The painting "
    "draws both frames, read where they lie, into 209 × 280 views, each painting after a "
    "frame through the pipeline.\n";

std::string context() {
    double load[3] = {0, 0, 0};
    const int loads = getloadavg(load, 3);
    const std::time_t now = std::time(nullptr);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M", std::localtime(&now));
    std::ostringstream out;
    out << "Medians of the benchmark thread's CPU time (the machine may be shared; real time "
           "also counts the time the thread waited for a core), one thread, but for the last six "
           "columns: the wall clock of our pipeline with its rows over 1 thread and over all, "
           "and of OpenCV's chain with cv::setNumThreads at the same counts, "
        << date << "; kernel path " << kernelPathName(bestKernelPath())
        << "; load average at the end " << (loads > 0 ? number(load[0], 2) : "unknown")
        << ". Memory bound: the bytes a stage must read and write divided by the copy "
           "bandwidth measured at the same size.\n";
    return out.str();
}

// Takes --table=PATH out of the arguments.
std::string tablePath(int& argc, char** argv) {
    std::string path;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument.rfind("--table=", 0) == 0) {
            path = argument.substr(8);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    cv::setNumThreads(1);  // OpenCV on one thread, as the pipeline
    const int allThreads = rowThreads();
    setRowThreads(1);
    const std::string path = tablePath(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();

    const std::string text = context() + "\n" + table(collector, allThreads);
    std::cout << "\n" << text;
    if (!path.empty()) {
        std::ofstream file(path);
        file << "# Frame pipeline speed\n\n"
             << "Made by `make bench` (scripts/run-bench) on the machine it ran on.\n\n"
             << text << "\n"
             << kReading;
        if (!file) {
            std::cerr << "cannot write " << path << "\n";
            return 1;
        }
    }
    return 0;
}
