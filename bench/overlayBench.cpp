// A drawn frame and a hidden frame, each beside its floor.
#include <benchmark/benchmark.h>

#include "allocations.h"
#include "fixture.h"

namespace {

void BM_Overlay_DrawnFrame(benchmark::State& state)
{
    bench::Loaded loaded;
    loaded.plugin.wins = 1234;
    loaded.plugin.losses = 987;
    loaded.plugin.streak = -3;
    loaded.plugin.ratingChange = -42.5f;
    loaded.host.drawFrame();
    measure::AllocationCounter allocations;
    for (auto _ : state)
        loaded.host.drawFrame();
    state.counters["allocations_per_frame"] =
        benchmark::Counter(double(allocations.count()), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Overlay_DrawnFrame);

// The same three variable reads and 23 canvas calls, with the texts built beforehand.
void BM_Overlay_DrawnFrameFloor(benchmark::State& state)
{
    simhost::Host host;
    CVarManagerWrapper console(&host);
    console.registerCvar("posx", "19");
    console.registerCvar("posy", "702");
    console.registerCvar("scale", "1");
    const std::string texts[7] = {
        "MMR : -43",   "Streak : -3",  "Wins : 1234", "Losses : 987", "          v" TARNU_VERSION,
        "     Plugin", "     by tarnu"};
    const std::uint8_t colours[6][4] = {{255, 255, 0, 255}, {0, 191, 255, 255},   {0, 255, 0, 255},
                                        {204, 0, 0, 255},   {180, 180, 180, 150}, {255, 255, 255, 255}};
    host.gameWrapper()->RegisterDrawable([&](CanvasWrapper canvas) {
        const float x = float(console.getCvar("posx").getIntValue());
        const float y = float(console.getCvar("posy").getIntValue());
        const float s = console.getCvar("scale").getFloatValue();
        canvas.SetPosition({x, y});
        canvas.SetColor(0, 0, 0, 150);
        canvas.FillBox({90.0f * s, 125.0f * s});
        for (int line = 0; line < 7; ++line) {
            canvas.SetPosition({x + 10.0f, (y + 10.0f) + float(16 * line) * s});
            if (line < 6)
                canvas.SetColor(colours[line][0], colours[line][1], colours[line][2], colours[line][3]);
            canvas.DrawString(texts[line], s, s);
        }
    });
    host.drawFrame();
    for (auto _ : state)
        host.drawFrame();
}
BENCHMARK(BM_Overlay_DrawnFrameFloor);

void BM_Overlay_HiddenFrame(benchmark::State& state)
{
    bench::Loaded loaded;
    loaded.console({"hide_plugin", "1"});
    for (auto _ : state)
        loaded.host.drawFrame();
}
BENCHMARK(BM_Overlay_HiddenFrame);

void BM_Overlay_HiddenFrameFloor(benchmark::State& state)
{
    simhost::Host host;
    host.gameWrapper()->RegisterDrawable([](CanvasWrapper canvas) { benchmark::DoNotOptimize(canvas); });
    for (auto _ : state)
        host.drawFrame();
}
BENCHMARK(BM_Overlay_HiddenFrameFloor);

} // namespace
