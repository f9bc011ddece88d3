// SDL2 backend: one window of the screen's size shows the framebuffer. The left
// mouse button, the keys of the panel's function-key table, typed characters
// (SDL text input), closing the window and exposures become display events.
// The SDL library is loaded when a window is first asked for, so a headless
// panel never maps it (nor what it pulls in).
#include "nanox/nx_core.h"
#include "nanox/nx_remote.h"

#include <cstdio>
#include <dlfcn.h>

#include <SDL2/SDL.h>

namespace {

#define NX_SDL_CALLS(X)                                                                                                \
    X(SDL_InitSubSystem)                                                                                               \
    X(SDL_QuitSubSystem)                                                                                               \
    X(SDL_Quit)                                                                                                        \
    X(SDL_GetError)                                                                                                    \
    X(SDL_CreateWindow)                                                                                                \
    X(SDL_DestroyWindow)                                                                                               \
    X(SDL_SetWindowTitle)                                                                                              \
    X(SDL_GetWindowSurface)                                                                                            \
    X(SDL_UpdateWindowSurface)                                                                                         \
    X(SDL_CreateRGBSurfaceWithFormatFrom)                                                                              \
    X(SDL_FreeSurface)                                                                                                 \
    X(SDL_UpperBlit)                                                                                                   \
    X(SDL_StartTextInput)                                                                                              \
    X(SDL_GetModState)                                                                                                 \
    X(SDL_WaitEvent)                                                                                                   \
    X(SDL_WaitEventTimeout)                                                                                            \
    X(SDL_PollEvent)

// The SDL calls the backend makes, found in the library once it is loaded.
struct SdlCalls {
// NOLINTNEXTLINE(bugprone-macro-parentheses): the argument names a member, which takes none
#define NX_SDL_MEMBER(name) decltype(&::name) name;
    NX_SDL_CALLS(NX_SDL_MEMBER)
#undef NX_SDL_MEMBER
};

SdlCalls api;
void *sdlLibrary;

// Loads the library and its calls once; false, with a message, when it or a
// call is missing.
bool loadSdl()
{
    if (sdlLibrary) return true;
    void *library = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        std::fprintf(stderr, "nano-X: the SDL2 library cannot be loaded: %s\n", dlerror());
        return false;
    }
    bool complete = true;
#define NX_SDL_FIND(name)                                                                                              \
    api.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name));                                             \
    complete = complete && api.name;
    NX_SDL_CALLS(NX_SDL_FIND)
#undef NX_SDL_FIND
    if (!complete) {
        std::fprintf(stderr, "nano-X: the SDL2 library lacks a call the panel needs\n");
        dlclose(library);
        return false;
    }
    sdlLibrary = library;
    return true;
}

struct Sdl {
    SDL_Window *window = nullptr;
    SDL_Surface *frame = nullptr; // wraps the framebuffer
    bool videoStarted = false;
};

Sdl sdl;

const struct {
    SDL_Keycode sym;
    GR_KEY key;
} kKeys[] = {
    {SDLK_RETURN, MWKEY_ENTER},
    {SDLK_KP_ENTER, MWKEY_ENTER},
    {SDLK_ESCAPE, MWKEY_ESCAPE},
    {SDLK_TAB, MWKEY_TAB},
    {SDLK_BACKSPACE, MWKEY_BACKSPACE},
    {SDLK_LEFT, MWKEY_LEFT},
    {SDLK_RIGHT, MWKEY_RIGHT},
    {SDLK_UP, MWKEY_UP},
    {SDLK_DOWN, MWKEY_DOWN},
    {SDLK_INSERT, MWKEY_INSERT},
    {SDLK_DELETE, MWKEY_DELETE},
    {SDLK_HOME, MWKEY_HOME},
    {SDLK_END, MWKEY_END},
    {SDLK_PAGEUP, MWKEY_PAGEUP},
    {SDLK_PAGEDOWN, MWKEY_PAGEDOWN},
    {SDLK_F1, MWKEY_F1},
    {SDLK_F2, MWKEY_F2},
    {SDLK_F3, MWKEY_F3},
    {SDLK_F4, MWKEY_F4},
    {SDLK_F5, MWKEY_F5},
    {SDLK_F6, MWKEY_F6},
    {SDLK_F7, MWKEY_F7},
    {SDLK_F8, MWKEY_F8},
    {SDLK_F9, MWKEY_F9},
    {SDLK_F10, MWKEY_F10},
    {SDLK_F11, MWKEY_F11},
    {SDLK_F12, MWKEY_F12},
    {SDLK_NUMLOCKCLEAR, MWKEY_NUMLOCK},
    {SDLK_CAPSLOCK, MWKEY_CAPSLOCK},
    {SDLK_PRINTSCREEN, MWKEY_PRINT},
    {SDLK_SYSREQ, MWKEY_SYSREQ},
    {SDLK_PAUSE, MWKEY_PAUSE},
    {SDLK_APPLICATION, MWKEY_APP1},
    {SDLK_LGUI, NX_KEY_LWIN},
    {SDLK_RGUI, NX_KEY_RWIN},
};

GR_KEYMOD modifiersOf(Uint16 mod)
{
    GR_KEYMOD m = 0;
    if (mod & KMOD_LSHIFT) m |= MWKMOD_LSHIFT;
    if (mod & KMOD_RSHIFT) m |= MWKMOD_RSHIFT;
    if (mod & KMOD_LCTRL) m |= MWKMOD_LCTRL;
    if (mod & KMOD_RCTRL) m |= MWKMOD_RCTRL;
    if (mod & KMOD_LALT) m |= MWKMOD_LALT;
    if (mod & KMOD_RALT) m |= MWKMOD_RALT;
    if (mod & KMOD_NUM) m |= MWKMOD_NUM;
    if (mod & KMOD_CAPS) m |= MWKMOD_CAPS;
    return m;
}

// Key value of a key that does not arrive as typed text; 0 for the others.
GR_KEY keyOf(const SDL_Keysym &keysym)
{
    for (const auto &k : kKeys)
        if (k.sym == keysym.sym) return k.key;
    if ((keysym.mod & KMOD_CTRL) && keysym.sym >= SDLK_a && keysym.sym <= SDLK_z)
        return static_cast<GR_KEY>(keysym.sym - SDLK_a + 1); // control codes, as typed with Ctrl
    return 0;
}

void typeText(const char *utf8, GR_KEYMOD modifiers)
{
    const unsigned char *s = reinterpret_cast<const unsigned char *>(utf8);
    while (*s) {
        unsigned cp = *s++;
        int extra = cp >= 0xF0 ? 3 : cp >= 0xE0 ? 2 : cp >= 0xC0 ? 1 : 0;
        cp &= extra == 3 ? 0x07 : extra == 2 ? 0x0F : extra == 1 ? 0x1F : 0x7F;
        for (int k = 0; k < extra && (*s & 0xC0) == 0x80; k++) cp = (cp << 6) | (*s++ & 0x3F);
        if (cp > 0xFFFF) continue; // key values are 16 bits
        NX_inputKey(static_cast<GR_KEY>(cp), modifiers, true);
        NX_inputKey(static_cast<GR_KEY>(cp), modifiers, false);
    }
}

void present()
{
    if (!sdl.window || !sdl.frame) return;
    SDL_Surface *surface = api.SDL_GetWindowSurface(sdl.window);
    if (!surface) return;
    api.SDL_UpperBlit(sdl.frame, nullptr, surface, nullptr);
    api.SDL_UpdateWindowSurface(sdl.window);
}

void handle(const SDL_Event &e)
{
    switch (e.type) {
    case SDL_QUIT: NX_inputClose(); break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) NX_inputClose();
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
            present();
            NX_inputExposeAll();
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_LEFT) NX_inputButton(e.button.x, e.button.y, e.type == SDL_MOUSEBUTTONDOWN);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (GR_KEY key = keyOf(e.key.keysym)) NX_inputKey(key, modifiersOf(e.key.keysym.mod), e.type == SDL_KEYDOWN);
        break;
    case SDL_TEXTINPUT: typeText(e.text.text, modifiersOf(api.SDL_GetModState())); break;
    default: break;
    }
}

bool startVideo()
{
    if (sdl.videoStarted) return true;
    if (!loadSdl()) return false;
    if (api.SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "nano-X: SDL video cannot start: %s\n", api.SDL_GetError());
        return false;
    }
    sdl.videoStarted = true;
    return true;
}

bool openSdl(int width, int height)
{
    if (!startVideo()) return false;
    sdl.window = api.SDL_CreateWindow("Panterm", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                                      SDL_WINDOW_SHOWN);
    if (sdl.window)
        sdl.frame = api.SDL_CreateRGBSurfaceWithFormatFrom(NX_screenPixels(), width, height, 32, width * 4,
                                                           SDL_PIXELFORMAT_ABGR8888);
    if (!sdl.window || !sdl.frame) {
        std::fprintf(stderr, "nano-X: SDL window cannot open: %s\n", api.SDL_GetError());
        if (sdl.window) api.SDL_DestroyWindow(sdl.window);
        sdl.window = nullptr;
        api.SDL_QuitSubSystem(SDL_INIT_VIDEO);
        sdl.videoStarted = false;
        return false;
    }
    api.SDL_StartTextInput();
    return true;
}

void closeSdl()
{
    if (!sdlLibrary) return;
    if (sdl.frame) api.SDL_FreeSurface(sdl.frame);
    if (sdl.window) api.SDL_DestroyWindow(sdl.window);
    if (sdl.videoStarted) api.SDL_QuitSubSystem(SDL_INIT_VIDEO);
    api.SDL_Quit();
    sdl = Sdl{};
}

void flushedSdl() {}

void waitSdl(int timeoutMs)
{
    if (NX_remoteEnabled() && (timeoutMs < 0 || timeoutMs > NX_REMOTE_POLL_MS)) timeoutMs = NX_REMOTE_POLL_MS;
    SDL_Event e;
    bool got = timeoutMs < 0 ? api.SDL_WaitEvent(&e) != 0 : api.SDL_WaitEventTimeout(&e, timeoutMs) != 0;
    while (got) {
        handle(e);
        got = api.SDL_PollEvent(&e) != 0;
    }
}

void setTitleSdl(const char *title)
{
    if (sdl.window) api.SDL_SetWindowTitle(sdl.window, title && *title ? title : "Panterm");
}

const NX_Backend kSdl = {"sdl", openSdl, closeSdl, present, flushedSdl, waitSdl, setTitleSdl};

} // namespace

const NX_Backend *NX_sdlBackend() { return &kSdl; }

bool NX_sdlAvailable() { return startVideo(); }
