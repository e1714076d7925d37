// Wall-clock benchmarks of the game's per-frame work next to its floor, a single full-window blit.
#include <benchmark/benchmark.h>

#include "harness.h"
#include "main.h"

// One frame's drawing; screen is a plain surface, so the closing SDL_Flip presents nothing.
static void BM_DrawScene(benchmark::State &state) {
  for (auto _ : state) DrawScene();
}
BENCHMARK(BM_DrawScene);

// The least a frame can cost: copying one window-sized picture onto another of the same format.
static void BM_FloorBlit(benchmark::State &state) {
  SDL_Surface *from = NewWindowSizedSurface();
  SDL_Surface *to = NewWindowSizedSurface();
  for (auto _ : state) SDL_BlitSurface(from, nullptr, to, nullptr);
  SDL_FreeSurface(from);
  SDL_FreeSurface(to);
}
BENCHMARK(BM_FloorBlit);

// The rest of a pass of the frame loop: draining the (empty) event queue and advancing the clocks.
static void BM_EventUpdate(benchmark::State &state) {
  for (auto _ : state) {
    Event();
    UpDate();
  }
}
BENCHMARK(BM_EventUpdate);

// One line of the sidebar's text, the longest the scene draws.
static void BM_DrawString(benchmark::State &state) {
  for (auto _ : state) benchmark::DoNotOptimize(DrawString(text10, 255, 165, "f\xF6r att byta", screen));
}
BENCHMARK(BM_DrawString);

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  StartGame();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  SDL_Quit();
  return 0;
}
