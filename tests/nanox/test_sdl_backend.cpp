// The SDL backend for real: the test runs itself again under xvfb-run, where
// the child opens an SDL window, draws, reads the pixels back from the
// framebuffer and from the window, turns injected SDL input into display
// events and ends on the close request.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

#include <SDL2/SDL.h>

#include "nanox/nano-X.h"

namespace {

const char *const kChildMark = "PANTERM_SDL_CHILD";

bool haveProgram(const char *name)
{
    std::string check = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(check.c_str()) == 0;
}

// Next event of the wanted type, skipping the others (exposures, updates).
GR_EVENT nextOfType(GR_EVENT_TYPE type)
{
    GR_EVENT e;
    for (int i = 0; i < 50; i++) {
        GrGetNextEventTimeout(&e, 2000);
        if (e.type == type || e.type == GR_EVENT_TYPE_TIMEOUT) return e;
    }
    return e;
}

SDL_Window *panelWindow()
{
    for (Uint32 id = 1; id < 64; id++)
        if (SDL_Window *w = SDL_GetWindowFromID(id)) return w;
    return nullptr;
}

void push(SDL_Event e)
{
    e.common.timestamp = SDL_GetTicks();
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

TEST(SdlBackend, RunsUnderXvfb)
{
    if (!haveProgram("xvfb-run"))
        FAIL() << "xvfb-run is missing: install the Debian package xvfb (scripts/install-deps.sh)";
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = '\0';
    // The system's D-Bus library keeps allocations that SDL cannot release, so
    // the child runs without leak detection (the headless tests keep it).
    std::string command = std::string("env ") + kChildMark + "=1 PANTERM_DISPLAY=sdl PANTERM_SCREEN=160x120 " +
                          "ASAN_OPTIONS=detect_leaks=0 " + "timeout 60 xvfb-run -a '" + self +
                          "' --gtest_filter=SdlBackend.ChildDrawsAndCloses";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

TEST(SdlBackend, ChildDrawsAndCloses)
{
    if (!std::getenv(kChildMark)) GTEST_SKIP() << "runs only as the child of SdlBackend.RunsUnderXvfb";
    ASSERT_GE(GrOpen(), 0);
    GR_WINDOW_ID win = GrNewWindowEx(GR_WM_PROPS_NODECORATE, "Panterm", GR_ROOT_WINDOW_ID, 10, 10, 100, 80, WHITE);
    GrSelectEvents(win, GR_EVENT_MASK_EXPOSURE | GR_EVENT_MASK_BUTTON_DOWN | GR_EVENT_MASK_BUTTON_UP |
                            GR_EVENT_MASK_KEY_DOWN | GR_EVENT_MASK_CLOSE_REQ);
    GrMapWindow(win);
    GR_GC_ID gc = GrNewGC();
    GrSetGCForeground(gc, LTRED);
    GrFillRect(win, gc, 5, 5, 20, 10);
    GrFlush();

    GR_PIXELVAL p = 0;
    GrReadArea(win, 5, 5, 1, 1, &p);
    EXPECT_EQ(p, (GR_PIXELVAL)LTRED);
    GrReadArea(GR_ROOT_WINDOW_ID, 15, 15, 1, 1, &p);
    EXPECT_EQ(p, (GR_PIXELVAL)LTRED);

    SDL_Window *window = panelWindow();
    ASSERT_NE(window, nullptr);
    SDL_Surface *shown = SDL_GetWindowSurface(window);
    ASSERT_NE(shown, nullptr);
    ASSERT_EQ(shown->w, 160);
    SDL_LockSurface(shown);
    Uint32 raw = *reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(shown->pixels) + 15 * shown->pitch + 15 * 4);
    Uint8 r = 0, g = 0, b = 0;
    SDL_GetRGB(raw, shown->format, &r, &g, &b);
    SDL_UnlockSurface(shown);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(b, 0);

    Uint32 windowId = SDL_GetWindowID(window);
    SDL_Event e{};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.windowID = windowId;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.state = SDL_PRESSED;
    e.button.x = 30;
    e.button.y = 40;
    push(e);
    GR_EVENT got = nextOfType(GR_EVENT_TYPE_BUTTON_DOWN);
    ASSERT_EQ(got.type, GR_EVENT_TYPE_BUTTON_DOWN);
    EXPECT_EQ(got.button.x, 20); // the window lies at (10, 10)
    EXPECT_EQ(got.button.y, 30);

    e = SDL_Event{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = windowId;
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = SDLK_F1;
    push(e);
    got = nextOfType(GR_EVENT_TYPE_KEY_DOWN);
    ASSERT_EQ(got.type, GR_EVENT_TYPE_KEY_DOWN);
    EXPECT_EQ(got.keystroke.ch, MWKEY_F1);

    e = SDL_Event{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = windowId;
    SDL_strlcpy(e.text.text, "a", sizeof e.text.text);
    push(e);
    got = nextOfType(GR_EVENT_TYPE_KEY_DOWN);
    EXPECT_EQ(got.keystroke.ch, 'a');

    e = SDL_Event{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = windowId;
    e.window.event = SDL_WINDOWEVENT_EXPOSED;
    push(e);
    got = nextOfType(GR_EVENT_TYPE_EXPOSURE);
    EXPECT_EQ(got.type, GR_EVENT_TYPE_EXPOSURE);

    e = SDL_Event{};
    e.type = SDL_QUIT;
    push(e);
    got = nextOfType(GR_EVENT_TYPE_CLOSE_REQ);
    EXPECT_EQ(got.type, GR_EVENT_TYPE_CLOSE_REQ);
    EXPECT_EQ(got.general.wid, win);
    GrClose();
}

} // namespace
