// meldrove-bench: times, over one fonts folder and side by side, the
// inventory build, the two floors it is compared with, and the matching of
// the whole inventory. Prints one line per sample for bench/run_bench.py:
//   time <measure> <seconds>
// and what each pass found, so that the passes can be seen to agree.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "floors.h"
#include "fontfile/diagnostics.h"
#include "inventory/font_catalog.h"
#include "inventory/font_inventory.h"
#include "selection/matching.h"
#include "selection/result_list.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsOf(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Measure {
    std::string name;
    std::function<void()> run;
    std::function<void()> prepare = [] {};  // before the clock starts
};

struct Selection {
    std::string name;
    std::vector<std::int32_t> bits;
};

// No block; Cyrillic; and five blocks of European scripts.
const std::vector<Selection> kSelections = {
    {"match-none", {}},
    {"match-one", {9}},
    {"match-five", {0, 1, 2, 7, 9}},
};

// Fills a sorted result list with the fonts that cover `bits` and, unless
// told not to, reads it back in its order, as the window shows it (the list
// sorts when it is read).
std::size_t listMatches(const inventory::FontInventory& fonts, std::span<const std::int32_t> bits, bool sorted = true) {
    selection::SortedLineList lines;
    selection::listMatchingFonts(fonts, bits, lines);
    return sorted ? lines.lines().size() : 0;
}

void printDigest(const char* pass, const bench::Digest& digest) {
    std::printf("found %s %zu %zu %zu %llu\n", pass, digest.singleFiles, digest.collectionFiles, digest.fonts,
                static_cast<unsigned long long>(digest.sum));
}

int usage() {
    std::fputs("usage: meldrove-bench --fonts-dir DIR [--reps N] [--only engine|physical|readers|catalog]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string folder, only;
    int reps = 5;
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == "--fonts-dir")
            folder = args[i + 1];
        else if (args[i] == "--reps")
            reps = std::max(1, std::stoi(std::string(args[i + 1])));
        else if (args[i] == "--only")
            only = args[i + 1];
        else
            return usage();
    }
    if (folder.empty() || args.size() % 2 != 0) return usage();
    fontfile::setDiagnosticStream(stderr);

    bench::Digest engine, physical, readers;
    std::size_t catalogFaces = 0;
    inventory::FontInventory built;
    std::vector<Measure> measures = {
        // The previous run's inventory is released before the clock starts;
        // the last run's is looked at after the clock stops.
        {"engine", [&] { inventory::buildInventory(built, folder); }, [&] { inventory::releaseInventory(built); }},
        {"physical", [&] { physical = bench::readFloor(folder, bench::Opens::once); }},
        {"readers", [&] { readers = bench::readFloor(folder, bench::Opens::perReader); }},
    };
    // The catalog as the tool reads it with every member and character map:
    // only when asked for, for the crafted files.
    measures.push_back(
        {"catalog", [&] {
             const auto catalog = inventory::buildCatalog(
                 {.folders = {{folder}}, .everyMember = true, .everyCollectionFile = true, .characterMaps = true});
             catalogFaces = catalog.faces.size();
         }});
    if (only.empty()) measures.pop_back();
    if (!only.empty()) std::erase_if(measures, [&](const Measure& m) { return m.name != only; });

    // A first round warms the caches and is not counted; then each round runs
    // every measure, starting with a different one each time.
    for (auto& measure : measures) {
        measure.prepare();
        measure.run();
    }
    for (int rep = 0; rep < reps; ++rep) {
        for (std::size_t j = 0; j < measures.size(); ++j) {
            auto& measure = measures[(j + static_cast<std::size_t>(rep)) % measures.size()];
            measure.prepare();
            std::printf("time %s %.9f\n", measure.name.c_str(), secondsOf(measure.run));
        }
    }
    if (only == "catalog") {
        std::printf("faces catalog %zu\n", catalogFaces);
        return 0;
    }
    engine = bench::digestOf(built);
    inventory::releaseInventory(built);
    printDigest("engine", engine);
    if (only.empty()) {
        printDigest("physical", physical);
        printDigest("readers", readers);
    }
    if (!only.empty()) return 0;

    inventory::FontInventory fonts;
    inventory::buildInventory(fonts, folder);
    for (const auto& selection : kSelections) {
        std::size_t lines = listMatches(fonts, selection.bits);
        for (int rep = 0; rep < 3 * reps; ++rep) {
            std::printf("time %s %.9f\n", selection.name.c_str(),
                        secondsOf([&] { lines = listMatches(fonts, selection.bits); }));
        }
        std::printf("lines %s %zu\n", selection.name.c_str(), lines);
    }
    // The no-block matching again, its list filled but not read back: what
    // the sort of the lines costs.
    for (int rep = 0; rep < 3 * reps; ++rep) {
        std::printf("time match-none-unsorted %.9f\n", secondsOf([&] { listMatches(fonts, {}, false); }));
    }
    inventory::releaseInventory(fonts);
    return 0;
}
