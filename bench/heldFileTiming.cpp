// What a program holding the stats file costs the game's thread on Windows: a
// counted match end and a retry of the file, with the file held each way, beside
// the same with the file free, in one run. Google Benchmark is packaged for Linux
// only, so this times the cases itself: each repetition runs every case in turn,
// and the medians of the repetitions come out in Google Benchmark's JSON form for
// bench/report.py.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fixture.h"
#include "heldFile.h"
#include "names.h"

namespace {

using Clock = std::chrono::steady_clock;

// A loaded plugin whose stats file is free, or held for the whole run.
struct Case {
    explicit Case(const measure::Holder* by) : holder(by)
    {
        const auto file = loaded.data.path() / names::statsFile;
        if (holder != nullptr)
            held.emplace(file, *holder);
        loaded.host.startMatch(simhost::Place::OnlinePublic);
    }
    std::string name() const { return holder == nullptr ? "free" : holder->name; }
    // Runs the next timer that falls due, and only that one.
    void nextTimer()
    {
        bool stopped = false;
        loaded.host.advance(10.0, 1, stopped);
    }

    const measure::Holder* holder;
    bench::Loaded loaded;
    std::optional<measure::HeldFile> held;
};

double nanoseconds(Clock::duration spent) { return std::chrono::duration<double, std::nano>(spent).count(); }

// Kickoff and the end of a won public match, as it comes minutes after the last:
// the refresh of the rating and the file's retries have run their course.
double countedMatchEnd(Case& c)
{
    c.loaded.host.advance(11.0);
    const auto start = Clock::now();
    c.loaded.host.kickoff();
    c.loaded.host.endMatch(0);
    return nanoseconds(Clock::now() - start);
}

// The retry of an update that a holder refused. Held, the third one: the first
// that also writes in place, the dearest there is. Free, the first, which lands
// (the update was refused by a reader that let go at once).
double retry(Case& c)
{
    c.loaded.host.advance(11.0); // no other timer is pending
    if (c.holder == nullptr) {
        const measure::Holder reader{"a moment", GENERIC_READ, measure::shareAll, false};
        measure::HeldFile moment(c.loaded.data.path() / names::statsFile, reader);
        c.loaded.console({"add_win"});
    } else {
        c.loaded.console({"add_win"});
        c.nextTimer();
        c.nextTimer();
    }
    const auto start = Clock::now();
    c.nextTimer();
    return nanoseconds(Clock::now() - start);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    constexpr int batch = 20; // timed calls per case in each repetition, averaged
    std::vector<std::unique_ptr<Case>> cases;
    cases.push_back(std::make_unique<Case>(nullptr));
    for (const auto& holder : measure::holders)
        cases.push_back(std::make_unique<Case>(&holder));
    struct Measure {
        const char* name;
        double (*run)(Case&);
    };
    const Measure measures[] = {{"BM_HeldFile_CountedMatchEnd", countedMatchEnd},
                                {"BM_HeldFile_Retry", retry}};
    // Per measure and case, the mean of each repetition's batch.
    std::vector<std::vector<std::vector<double>>> means(std::size(measures),
                                                        std::vector<std::vector<double>>(cases.size()));
    for (int repetition = 0; repetition < repetitions; ++repetition) {
        for (std::size_t m = 0; m < std::size(measures); ++m) {
            for (std::size_t c = 0; c < cases.size(); ++c) {
                double total = 0;
                for (int i = 0; i < batch; ++i)
                    total += measures[m].run(*cases[c]);
                means[m][c].push_back(total / batch);
            }
        }
    }
    std::printf("{\"benchmarks\": [\n");
    for (std::size_t m = 0; m < std::size(measures); ++m) {
        for (std::size_t c = 0; c < cases.size(); ++c) {
            const bool last = m + 1 == std::size(measures) && c + 1 == cases.size();
            std::printf("  {\"run_name\": \"%s/%s\", \"aggregate_name\": \"median\", \"real_time\": %.0f, "
                        "\"time_unit\": \"ns\"}%s\n",
                        measures[m].name, cases[c]->name().c_str(), median(means[m][c]), last ? "" : ",");
        }
    }
    std::printf("]}\n");
}
