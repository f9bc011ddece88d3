// Drawing speed on the headless display at 800 x 480: a full-screen fill,
// 1000 lines, 1000 short texts and the end-of-frame copy to the window.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "draw/fonts.h"
#include "draw/graphics.h"

namespace {

void openScreen()
{
    if (g_screen) return;
    setenv("PANTERM_DISPLAY", "headless", 1);
    setenv("PANTERM_SCREEN", "800x480", 1);
    if (GrOpen() < 0) std::abort();
    g_screenWidth = 800;
    g_screenHeight = 480;
    g_screen = g_main = GrNewWindowEx(GR_WM_PROPS_NODECORATE, "bench", GR_ROOT_WINDOW_ID, 0, 0, 800, 480, WHITE);
    GrMapWindow(g_screen);
    g_gc = GrNewGC();
    GrSetGCUseBackground(g_gc, GR_FALSE);
    G_SetSize(800, 480);
    G_DrawViewBegin();
}

uint32_t nextRandom(uint32_t *state)
{
    *state = *state * 1664525u + 1013904223u;
    return *state >> 8;
}

void BM_FillScreen(benchmark::State &state)
{
    openScreen();
    uint32_t colour = 0;
    for (auto _ : state) G_FillRect(0, 0, 800, 480, 0xFF000000 | (colour += 0x010203));
}
BENCHMARK(BM_FillScreen);

void BM_Lines1000(benchmark::State &state)
{
    openScreen();
    for (auto _ : state) {
        uint32_t seed = 1;
        for (int i = 0; i < 1000; i++)
            G_DrawLine(nextRandom(&seed) % 800, nextRandom(&seed) % 480, nextRandom(&seed) % 800,
                       nextRandom(&seed) % 480, 0xFF000000 | nextRandom(&seed));
    }
}
BENCHMARK(BM_Lines1000);

void BM_Texts1000(benchmark::State &state)
{
    openScreen();
    G_SetFont(FO_findCorrespondingFont("Dialog", 0, 12));
    char text[16];
    for (auto _ : state)
        for (int i = 0; i < 1000; i++) {
            std::snprintf(text, sizeof text, "Value %d", i);
            G_DrawText(text, (i % 10) * 80, (i / 10 % 24) * 20, 80, 20, G_ALIGN_CENTER | G_ALIGN_MIDDLE, 0xFF000000);
        }
}
BENCHMARK(BM_Texts1000);

void BM_FrameCopy(benchmark::State &state)
{
    openScreen();
    for (auto _ : state) {
        G_DrawViewBegin();
        G_DrawViewEnd();
    }
}
BENCHMARK(BM_FrameCopy);

} // namespace
