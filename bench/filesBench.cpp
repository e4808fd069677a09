// The stats file, a counted match end and the settings page, each beside its floor.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "fixture.h"
#include "names.h"
#include "settingsPage.h"

namespace {

void BM_StatsFile_Write(benchmark::State& state)
{
    bench::Loaded loaded;
    loaded.plugin.ratingChange = -12.5f;
    loaded.plugin.streak = 3;
    loaded.plugin.wins = 17;
    loaded.plugin.losses = 9;
    for (auto _ : state)
        loaded.plugin.writeStatsFile();
}
BENCHMARK(BM_StatsFile_Write);

// The same bytes with the platform's plain calls: a new file written, closed and
// moved over the old one.
void BM_StatsFile_WriteFloor(benchmark::State& state)
{
    qsim::DataFolder data;
    const std::string path = (data.path() / names::statsFile).string();
    const std::string scratch = path + ".new";
    const std::string bytes = "MMR : -12.500000\r\nStreak : 3\r\nWins : 17\r\nLosses : 9";
    for (auto _ : state) {
        const int file = ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (file >= 0) {
            benchmark::DoNotOptimize(::write(file, bytes.data(), bytes.size()));
            ::close(file);
            ::rename(scratch.c_str(), path.c_str());
        }
    }
}
BENCHMARK(BM_StatsFile_WriteFloor);

// Kickoff, then the end of a won public match: handler, counting rule, file write, timer.
void BM_Tracking_CountedMatchEnd(benchmark::State& state)
{
    bench::Loaded loaded;
    loaded.host.startMatch(simhost::Place::OnlinePublic);
    std::int64_t pending = 0;
    for (auto _ : state) {
        loaded.host.kickoff();
        loaded.host.endMatch(0);
        if (++pending == 1000) {
            state.PauseTiming();
            loaded.host.advance(11.0); // lets the refresh chains finish
            pending = 0;
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Tracking_CountedMatchEnd);

std::string pageOf(std::int64_t lines)
{
    std::string page = "tarnu plugin\r\n5|X Position|posx|0|1920\r\n5|Y Position|posy|0|1080\r\n";
    for (std::int64_t i = 3; i < lines; ++i)
        page += "1|Setting number " + std::to_string(i) + "|some_variable_" + std::to_string(i % 97) + "\r\n";
    return page;
}

std::filesystem::path pageIn(const qsim::DataFolder& data)
{
    return data.path() / names::settingsFolder / names::settingsPage;
}

void writePage(const std::filesystem::path& path, const std::string& page)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << page;
}

// The page is the same after every load, so each iteration rewrites the whole page.
void BM_SettingsPage_Load(benchmark::State& state)
{
    bench::Loaded loaded;
    writePage(pageIn(loaded.data), pageOf(state.range(0)));
    for (auto _ : state)
        loaded.plugin.writeSettingsFile();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SettingsPage_Load)->Arg(10)->Arg(10'000)->Unit(benchmark::kMicrosecond);

// The same lines copied to a new file that reaches the disk and is moved over the
// page, with no matching.
void BM_SettingsPage_LoadFloor(benchmark::State& state)
{
    qsim::DataFolder data;
    const auto page = pageIn(data);
    const auto scratch = page.parent_path() / "scratch.set";
    writePage(page, pageOf(state.range(0)));
    for (auto _ : state) {
        std::ifstream in(page, std::ios::binary);
        std::string copy;
        for (std::string line; std::getline(in, line);) {
            line.pop_back();
            copy.append(line).append("\r\n");
        }
        const int file = ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        benchmark::DoNotOptimize(::write(file, copy.data(), copy.size()));
        ::fsync(file);
        ::close(file);
        std::filesystem::rename(scratch, page);
        const int folder = ::open(page.parent_path().c_str(), O_RDONLY | O_DIRECTORY);
        ::fsync(folder);
        ::close(folder);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SettingsPage_LoadFloor)->Arg(10)->Arg(10'000)->Unit(benchmark::kMicrosecond);

// The rewrite itself, up to pages far beyond what a load reads. The output keeps
// its storage from one iteration to the next, so that the figure is the rewrite's
// and not the system's for fresh memory.
void BM_SettingsPage_Rewrite(benchmark::State& state)
{
    const std::string page = pageOf(state.range(0));
    std::string out;
    for (auto _ : state) {
        out.clear();
        rewriteSettingsPage(page, out, 1920, 1080);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SettingsPage_Rewrite)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

// The same lines copied with their CR LF ends, with no matching.
void BM_SettingsPage_RewriteFloor(benchmark::State& state)
{
    const std::string page = pageOf(state.range(0));
    std::string out;
    for (auto _ : state) {
        out.clear();
        out.reserve(page.size() + page.size() / 16);
        for (std::size_t at = 0, end; at < page.size(); at = end + 1) {
            end = page.find('\n', at);
            out.append(page, at, end - at - 1).append("\r\n");
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SettingsPage_RewriteFloor)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
