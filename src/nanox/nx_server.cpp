// Display server core: the connection (open, close, flush), the screen
// framebuffer, windows and pixmaps, the event queue and the delivery of input
// to windows. Owns the drawable table and the queue; drives the backend chosen
// at GrOpen. Drawing primitives live in nx_raster.cpp, text in nx_font.cpp.
#include "nanox/nx_core.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unordered_map>

namespace {

constexpr int kQueueSize = 256;
constexpr int kMaxPixmapSide = 8192;

struct Server {
    bool open = false;
    const NX_Backend *backend = nullptr;
    int width = 0, height = 0;
    std::vector<uint32_t> screen;
    std::unordered_map<GR_ID, NX_Drawable> drawables;
    std::vector<GR_ID> windowOrder; // creation order; later windows lie on top
    GR_ID nextId = 2;
    GR_WINDOW_ID focus = GR_ROOT_WINDOW_ID;
    GR_WINDOW_ID grab = 0;
    GR_BUTTON buttons = 0;
    GR_KEYMOD modifiers = 0;
    int pointerX = 0, pointerY = 0;
    GR_FNCALLBACKEVENT errorHandler = nullptr;
    GR_EVENT queue[kQueueSize];
    int queueHead = 0, queueCount = 0;
    bool queueFullReported = false;
    bool changedSinceShow = false, changedSinceFlush = false;
    GR_RECT damage{0, 0, 0, 0}; // screen area written since the last take
    timespec openedAt{};
};

Server server;
const NX_GC kBackgroundGC{};

bool parseSide(const char *&p, int *value)
{
    long v = 0;
    if (*p < '0' || *p > '9') return false;
    while (*p >= '0' && *p <= '9') {
        v = v * 10 + (*p++ - '0');
        if (v > 1000000) return false;
    }
    *value = static_cast<int>(v);
    return true;
}

void screenSizeFromEnvironment(int *width, int *height)
{
    *width = NX_DEFAULT_WIDTH;
    *height = NX_DEFAULT_HEIGHT;
    const char *text = std::getenv("PANTERM_SCREEN");
    if (!text || !*text) return;
    const char *p = text;
    int w = 0, h = 0;
    bool ok = parseSide(p, &w) && (*p == 'x' || *p == 'X') && parseSide(++p, &h) && *p == '\0';
    if (!ok) {
        std::fprintf(stderr, "PANTERM_SCREEN=\"%s\" is not WIDTHxHEIGHT; using %dx%d\n", text, *width, *height);
        return;
    }
    if (w < 1 || h < 1 || w > NX_MAX_SIDE || h > NX_MAX_SIDE) {
        std::fprintf(stderr, "PANTERM_SCREEN=\"%s\": each side must be 1 to %d pixels; using %dx%d\n", text,
                     NX_MAX_SIDE, *width, *height);
        return;
    }
    *width = w;
    *height = h;
}

const NX_Backend *openBackend(int width, int height)
{
    const char *choice = std::getenv("PANTERM_DISPLAY");
    bool wantSdl = choice && std::strcmp(choice, "sdl") == 0;
    bool wantHeadless = choice && std::strcmp(choice, "headless") == 0;
    if (choice && *choice && !wantSdl && !wantHeadless)
        std::fprintf(stderr, "PANTERM_DISPLAY=\"%s\" is neither sdl nor headless; choosing by the environment\n",
                     choice);
    if (wantSdl) {
        const NX_Backend *sdl = NX_sdlBackend();
        return sdl->open(width, height) ? sdl : nullptr;
    }
    if (!wantHeadless) {
        const char *x11 = std::getenv("DISPLAY");
        const char *wayland = std::getenv("WAYLAND_DISPLAY");
        if (((x11 && *x11) || (wayland && *wayland)) && NX_sdlAvailable()) {
            const NX_Backend *sdl = NX_sdlBackend();
            if (sdl->open(width, height)) return sdl;
        }
    }
    const NX_Backend *headless = NX_headlessBackend();
    return headless->open(width, height) ? headless : nullptr;
}

NX_Drawable *findWindow(GR_ID id)
{
    NX_Drawable *d = NX_findDrawable(id);
    return d && d->isWindow ? d : nullptr;
}

bool isAncestor(GR_ID ancestor, GR_ID id)
{
    for (NX_Drawable *w = findWindow(id); w; w = findWindow(w->parent))
        if (w->id == ancestor) return true;
    return false;
}

// Deepest visible window containing the screen point.
GR_ID windowAt(int x, int y)
{
    GR_ID found = GR_ROOT_WINDOW_ID;
    for (GR_ID id : server.windowOrder) {
        NX_Drawable *w = findWindow(id);
        int ax = 0, ay = 0;
        if (!w || !NX_windowOnScreen(w, &ax, &ay)) continue;
        if (x < ax || y < ay || x >= ax + w->width || y >= ay + w->height) continue;
        // windowOrder holds parents before children, so the last hit is the deepest and top-most
        found = id;
    }
    return found;
}

bool selected(const NX_Drawable *w, GR_EVENT_TYPE type)
{
    return type == GR_EVENT_TYPE_ERROR || (w->events & GR_EVENTMASK(type)) != 0;
}

bool exposureInside(const GR_EVENT_EXPOSURE &inner, const GR_EVENT_EXPOSURE &outer)
{
    return inner.wid == outer.wid && inner.x >= outer.x && inner.y >= outer.y &&
           inner.x + inner.width <= outer.x + outer.width && inner.y + inner.height <= outer.y + outer.height;
}

void dropExposuresInside(const GR_EVENT_EXPOSURE &outer)
{
    int kept = 0;
    for (int i = 0; i < server.queueCount; i++) {
        const GR_EVENT &e = server.queue[(server.queueHead + i) % kQueueSize];
        if (e.type == GR_EVENT_TYPE_EXPOSURE && exposureInside(e.exposure, outer)) continue;
        server.queue[(server.queueHead + kept) % kQueueSize] = e;
        kept++;
    }
    server.queueCount = kept;
}

void enqueue(const GR_EVENT &event)
{
    if (event.type == GR_EVENT_TYPE_EXPOSURE) dropExposuresInside(event.exposure);
    if (server.queueCount == kQueueSize) {
        if (!server.queueFullReported) std::fprintf(stderr, "nano-X: event queue full, events dropped\n");
        server.queueFullReported = true;
        return;
    }
    server.queue[(server.queueHead + server.queueCount) % kQueueSize] = event;
    server.queueCount++;
}

void postExposure(NX_Drawable *w, int x, int y, int width, int height)
{
    if (!selected(w, GR_EVENT_TYPE_EXPOSURE) || width <= 0 || height <= 0) return;
    GR_EVENT e{};
    e.exposure = {GR_EVENT_TYPE_EXPOSURE, w->id, x, y, width, height};
    enqueue(e);
}

void postUpdate(NX_Drawable *w, GR_UPDATE_TYPE utype)
{
    GR_EVENT e{};
    e.update = {GR_EVENT_TYPE_UPDATE, w->id, w->id, w->x, w->y, w->width, w->height, utype};
    if (selected(w, GR_EVENT_TYPE_UPDATE)) enqueue(e);
    NX_Drawable *parent = findWindow(w->parent);
    if (parent && selected(parent, GR_EVENT_TYPE_CHLD_UPDATE)) {
        e.update.type = GR_EVENT_TYPE_CHLD_UPDATE;
        e.update.wid = parent->id;
        enqueue(e);
    }
}

void postGeneral(NX_Drawable *w, GR_EVENT_TYPE type, GR_WINDOW_ID other)
{
    if (!w || !selected(w, type)) return;
    GR_EVENT e{};
    e.general = {type, w->id, other, server.pointerX, server.pointerY, 0, 0};
    int ax = 0, ay = 0;
    NX_windowOnScreen(w, &ax, &ay);
    e.general.x = server.pointerX - ax;
    e.general.y = server.pointerY - ay;
    enqueue(e);
}

// ---- screen damage ----

// Widens the damage to the screen area x1..x2, y1..y2 (inclusive) and marks
// the screen as changed.
void markChanged(int x1, int y1, int x2, int y2)
{
    server.changedSinceShow = true;
    server.changedSinceFlush = true;
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, server.width - 1);
    y2 = std::min(y2, server.height - 1);
    if (x1 > x2 || y1 > y2) return;
    GR_RECT &d = server.damage;
    if (d.width > 0) {
        x1 = std::min(x1, d.x);
        y1 = std::min(y1, d.y);
        x2 = std::max(x2, d.x + d.width - 1);
        y2 = std::max(y2, d.y + d.height - 1);
    }
    d = {x1, y1, x2 - x1 + 1, y2 - y1 + 1};
}

// Paints the background over the clipped area and, when asked, queues its exposure.
void clearArea(NX_Drawable *w, int x, int y, int width, int height, bool expose)
{
    int ax = 0, ay = 0;
    if (!NX_windowOnScreen(w, &ax, &ay)) return;
    if (width <= 0) width = w->width - x;
    if (height <= 0) height = w->height - y;
    int x1 = std::max(x, 0), y1 = std::max(y, 0);
    int x2 = std::min(x + width, w->width), y2 = std::min(y + height, w->height);
    if (x1 >= x2 || y1 >= y2) return;
    if (!(w->props & GR_WM_PROPS_NOBACKGROUND)) {
        NX_Target t;
        if (NX_prepareSource(w->id, &t)) {
            t.gc = &kBackgroundGC;
            markChanged(ax + x1, ay + y1, ax + x2 - 1, ay + y2 - 1);
            NX_fillRect(t, x1, y1, x2 - x1, y2 - y1, w->background);
        }
    }
    if (expose) postExposure(w, x1, y1, x2 - x1, y2 - y1);
}

// Uncovers the area a window leaves: the parent repaints and exposes it.
void uncover(NX_Drawable *w)
{
    NX_Drawable *parent = findWindow(w->parent);
    if (parent) clearArea(parent, w->x, w->y, w->width, w->height, true);
}

bool popEvent(GR_EVENT *ep)
{
    if (server.queueCount == 0) return false;
    *ep = server.queue[server.queueHead];
    server.queueHead = (server.queueHead + 1) % kQueueSize;
    server.queueCount--;
    return true;
}

void destroyDrawable(GR_ID id)
{
    for (GR_ID child : std::vector<GR_ID>(server.windowOrder)) {
        NX_Drawable *c = findWindow(child);
        if (c && c->parent == id) destroyDrawable(child);
    }
    server.windowOrder.erase(std::remove(server.windowOrder.begin(), server.windowOrder.end(), id),
                             server.windowOrder.end());
    if (server.focus == id) server.focus = GR_ROOT_WINDOW_ID;
    if (server.grab == id) server.grab = 0;
    server.drawables.erase(id);
}

} // namespace

// ---- internal services ----

NX_Drawable *NX_findDrawable(GR_ID id)
{
    auto it = server.drawables.find(id);
    return it == server.drawables.end() ? nullptr : &it->second;
}

GR_ID NX_newDrawableId() { return server.nextId++; }

NX_Drawable *NX_addDrawable(GR_ID id)
{
    NX_Drawable &d = server.drawables[id];
    d.id = id;
    return &d;
}

bool NX_windowOnScreen(const NX_Drawable *window, int *absX, int *absY)
{
    int x = 0, y = 0;
    for (const NX_Drawable *w = window; w; w = findWindow(w->parent)) {
        if (!w->mapped) return false;
        x += w->x;
        y += w->y;
    }
    *absX = x;
    *absY = y;
    return true;
}

// A clip region of one rectangle clips as a smaller visible area, which the
// primitives test without walking the region.
static void narrowToRegion(NX_Target *t)
{
    if (!t->region || t->region->size() != 1) return;
    const GR_RECT &r = t->region->front();
    t->clipX1 = std::max(t->clipX1, r.x);
    t->clipY1 = std::max(t->clipY1, r.y);
    t->clipX2 = static_cast<int>(std::min<int64_t>(t->clipX2, static_cast<int64_t>(r.x) + r.width - 1));
    t->clipY2 = static_cast<int>(std::min<int64_t>(t->clipY2, static_cast<int64_t>(r.y) + r.height - 1));
    t->region = nullptr;
}

// The visible area narrowed to the rectangle an operation writes into, so
// that only it counts as changed on the screen.
static void narrowToBounds(NX_Target *t, const GR_RECT *bounds)
{
    if (!bounds) return;
    t->clipX1 = std::max(t->clipX1, bounds->x);
    t->clipY1 = std::max(t->clipY1, bounds->y);
    t->clipX2 = static_cast<int>(std::min<int64_t>(t->clipX2, static_cast<int64_t>(bounds->x) + bounds->width - 1));
    t->clipY2 = static_cast<int>(std::min<int64_t>(t->clipY2, static_cast<int64_t>(bounds->y) + bounds->height - 1));
}

bool NX_prepareTarget(GR_DRAW_ID id, GR_GC_ID gc, NX_Target *t, const GR_RECT *bounds)
{
    NX_GC *g = NX_findGC(gc);
    if (!g || !NX_prepareSource(id, t)) return false;
    t->gc = g;
    if (g->region) t->region = NX_regionRects(g->region);
    narrowToRegion(t);
    narrowToBounds(t, bounds);
    if (!NX_applyWriteClip(id, t)) return false;
    if (t->onScreen)
        markChanged(t->originX + t->clipX1, t->originY + t->clipY1, t->originX + t->clipX2, t->originY + t->clipY2);
    return true;
}

bool NX_prepareSource(GR_DRAW_ID id, NX_Target *t)
{
    if (!server.open) return false;
    NX_Drawable *d = NX_findDrawable(id);
    if (!d) return false;
    t->gc = nullptr;
    t->region = nullptr;
    t->opaque = !d->isImage;
    if (d->isWindow) {
        int ax = 0, ay = 0;
        if (!NX_windowOnScreen(d, &ax, &ay)) return false;
        t->pixels = server.screen.data();
        t->pitch = server.width;
        t->originX = ax;
        t->originY = ay;
        // visible part: the window within each ancestor and within the screen
        int x1 = ax, y1 = ay, x2 = ax + d->width - 1, y2 = ay + d->height - 1;
        for (NX_Drawable *p = findWindow(d->parent); p; p = findWindow(p->parent)) {
            int px = 0, py = 0;
            NX_windowOnScreen(p, &px, &py);
            x1 = std::max(x1, px);
            y1 = std::max(y1, py);
            x2 = std::min(x2, px + p->width - 1);
            y2 = std::min(y2, py + p->height - 1);
        }
        x1 = std::max(x1, 0);
        y1 = std::max(y1, 0);
        x2 = std::min(x2, server.width - 1);
        y2 = std::min(y2, server.height - 1);
        t->clipX1 = x1 - ax;
        t->clipY1 = y1 - ay;
        t->clipX2 = x2 - ax;
        t->clipY2 = y2 - ay;
        t->onScreen = true;
    } else {
        t->pixels = d->pixels.data();
        t->pitch = d->width;
        t->originX = t->originY = 0;
        t->clipX1 = t->clipY1 = 0;
        t->clipX2 = d->width - 1;
        t->clipY2 = d->height - 1;
        t->onScreen = false;
    }
    return t->clipX1 <= t->clipX2 && t->clipY1 <= t->clipY2;
}

void NX_markScreenChanged() { markChanged(0, 0, server.width - 1, server.height - 1); }

bool NX_takeScreenDamage(GR_RECT *area)
{
    *area = server.damage;
    server.damage = {0, 0, 0, 0};
    return area->width > 0;
}

void NX_reportError(const char *function, GR_ERROR code, GR_ID id)
{
    GR_EVENT e{};
    e.error.type = GR_EVENT_TYPE_ERROR;
    std::snprintf(e.error.name, sizeof e.error.name, "%s", function);
    e.error.code = code;
    e.error.id = id;
    if (server.errorHandler) {
        server.errorHandler(&e);
        return;
    }
    enqueue(e);
}

uint32_t *NX_screenPixels() { return server.screen.data(); }
int NX_screenWidth() { return server.width; }
int NX_screenHeight() { return server.height; }

uint32_t NX_elapsedMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    int64_t ms = (now.tv_sec - server.openedAt.tv_sec) * 1000LL + (now.tv_nsec - server.openedAt.tv_nsec) / 1000000;
    return static_cast<uint32_t>(ms);
}

bool NX_eventPending() { return server.queueCount > 0; }

void NX_inputButton(int x, int y, bool down)
{
    server.pointerX = x;
    server.pointerY = y;
    GR_BUTTON before = server.buttons;
    server.buttons = down ? (before | GR_BUTTON_L) : (before & ~GR_BUTTON_L);
    GR_EVENT_TYPE type = down ? GR_EVENT_TYPE_BUTTON_DOWN : GR_EVENT_TYPE_BUTTON_UP;
    GR_ID under = windowAt(x, y);
    NX_Drawable *target = findWindow(server.grab);
    if (!target)
        for (target = findWindow(under); target && !selected(target, type); target = findWindow(target->parent)) {}
    if (target) {
        int ax = 0, ay = 0;
        NX_windowOnScreen(target, &ax, &ay);
        GR_EVENT e{};
        e.button = {type,        target->id,       under,         x, y, x - ax, y - ay, server.buttons,
                    GR_BUTTON_L, server.modifiers, NX_elapsedMs()};
        enqueue(e);
        if (down && selected(target, GR_EVENT_TYPE_BUTTON_UP)) server.grab = target->id;
    }
    if (server.buttons == 0) server.grab = 0;
}

void NX_inputKey(GR_KEY ch, GR_KEYMOD modifiers, bool down)
{
    server.modifiers = modifiers;
    GR_EVENT_TYPE type = down ? GR_EVENT_TYPE_KEY_DOWN : GR_EVENT_TYPE_KEY_UP;
    GR_ID start = windowAt(server.pointerX, server.pointerY);
    GR_ID stop = 0;
    if (server.focus != GR_ROOT_WINDOW_ID) {
        if (!isAncestor(server.focus, start)) start = server.focus;
        stop = server.focus;
    }
    NX_Drawable *target = findWindow(start);
    while (target && !selected(target, type)) {
        if (target->id == stop) return;
        target = findWindow(target->parent);
    }
    if (!target) return;
    int ax = 0, ay = 0;
    NX_windowOnScreen(target, &ax, &ay);
    GR_EVENT e{};
    e.keystroke = {type,
                   target->id,
                   start,
                   server.pointerX,
                   server.pointerY,
                   server.pointerX - ax,
                   server.pointerY - ay,
                   server.buttons,
                   modifiers,
                   ch,
                   0,
                   0};
    enqueue(e);
}

void NX_inputClose()
{
    for (GR_ID id : server.windowOrder) {
        NX_Drawable *w = findWindow(id);
        int ax = 0, ay = 0;
        if (w && w->parent == GR_ROOT_WINDOW_ID && NX_windowOnScreen(w, &ax, &ay))
            postGeneral(w, GR_EVENT_TYPE_CLOSE_REQ, 0);
    }
}

void NX_inputExposeAll()
{
    for (GR_ID id : server.windowOrder) {
        NX_Drawable *w = findWindow(id);
        int ax = 0, ay = 0;
        if (w && NX_windowOnScreen(w, &ax, &ay)) postExposure(w, 0, 0, w->width, w->height);
    }
}

// ---- connection ----

int GrOpen(void)
{
    if (server.open) return 1;
    int width = 0, height = 0;
    screenSizeFromEnvironment(&width, &height);
    clock_gettime(CLOCK_MONOTONIC, &server.openedAt);
    server.width = width;
    server.height = height;
    server.screen.assign(static_cast<size_t>(width) * height, NX_OPAQUE);
    const NX_Backend *backend = openBackend(width, height);
    if (!backend) {
        server.screen.clear();
        return -1;
    }
    server.backend = backend;
    server.open = true;
    NX_Drawable *root = NX_addDrawable(GR_ROOT_WINDOW_ID);
    root->isWindow = true;
    root->mapped = true;
    root->width = width;
    root->height = height;
    root->background = BLACK;
    server.windowOrder.push_back(GR_ROOT_WINDOW_ID);
    server.changedSinceShow = true;
    server.damage = {0, 0, width, height};
    return 1;
}

// Also without a connection every context, region, font and queued event is
// dropped, so the next GrOpen starts as the first one did.
void GrClose(void)
{
    if (server.open) {
        GrFlush();
        server.backend->close();
    }
    NX_remoteReset();
    NX_resetRaster();
    NX_resetFonts();
    server = Server{};
}

void GrFlush(void)
{
    if (!server.open) return;
    if (server.changedSinceShow) {
        server.backend->show();
        NX_remotePublish();
    }
    if (server.changedSinceFlush) server.backend->flushed();
    server.changedSinceShow = server.changedSinceFlush = false;
}

void GrDelay(GR_TIMEOUT msecs)
{
    timespec ts{static_cast<time_t>(msecs / 1000), static_cast<long>(msecs % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {}
}

void GrGetScreenInfo(GR_SCREEN_INFO *sip)
{
    if (!sip) return;
    *sip = GR_SCREEN_INFO{};
    sip->rows = server.height;
    sip->cols = server.width;
    sip->xdpcm = sip->ydpcm = 38;
    sip->planes = 1;
    sip->bpp = 32;
    sip->data_format = MWIF_RGBA8888;
    sip->ncolors = 1u << 24;
    sip->fonts = 4;
    sip->buttons = GR_BUTTON_L;
    sip->modifiers = MWKMOD_SHIFT | MWKMOD_CTRL | MWKMOD_ALT;
    sip->pixtype = MWPF_TRUECOLORABGR;
    sip->size = server.width * server.height * 4;
    sip->rmask = 0x000000FF;
    sip->gmask = 0x0000FF00;
    sip->bmask = 0x00FF0000;
    sip->amask = 0xFF000000;
    sip->xpos = server.pointerX;
    sip->ypos = server.pointerY;
    sip->vs_width = sip->ws_width = server.width;
    sip->vs_height = server.height;
    sip->ws_height = server.height > 22 ? server.height - 22 : server.height;
}

GR_FNCALLBACKEVENT GrSetErrorHandler(GR_FNCALLBACKEVENT fncb)
{
    GR_FNCALLBACKEVENT old = server.errorHandler;
    server.errorHandler = fncb;
    return old;
}

// ---- windows and pixmaps ----

GR_WINDOW_ID GrNewWindow(GR_WINDOW_ID parent, GR_COORD x, GR_COORD y, GR_SIZE width, GR_SIZE height, GR_SIZE bordersize,
                         GR_COLOR background, GR_COLOR)
{
    if (!server.open) return 0;
    if (!findWindow(parent)) {
        NX_reportError("GrNewWindow", GR_ERROR_BAD_WINDOW_ID, parent);
        return 0;
    }
    if (width <= 0 || height <= 0 || bordersize < 0) {
        NX_reportError("GrNewWindow", GR_ERROR_BAD_WINDOW_SIZE, 0);
        return 0;
    }
    GR_ID id = NX_newDrawableId();
    NX_Drawable *w = NX_addDrawable(id);
    w->isWindow = true;
    w->parent = parent;
    w->x = std::max(x, 0);
    w->y = std::max(y, 0);
    w->width = width;
    w->height = height;
    w->background = background;
    server.windowOrder.push_back(id);
    return id;
}

GR_WINDOW_ID GrNewWindowEx(GR_WM_PROPS props, const char *title, GR_WINDOW_ID parent, GR_COORD x, GR_COORD y,
                           GR_SIZE width, GR_SIZE height, GR_COLOR background)
{
    GR_WINDOW_ID id = GrNewWindow(parent, x, y, width, height, 0, background, BLACK);
    if (!id) return 0;
    GR_WM_PROPERTIES wm{};
    wm.flags = GR_WM_FLAGS_PROPS | GR_WM_FLAGS_TITLE;
    wm.props = props;
    wm.title = const_cast<char *>(title);
    GrSetWMProperties(id, &wm);
    return id;
}

void GrMapWindow(GR_WINDOW_ID wid)
{
    NX_Drawable *w = findWindow(wid);
    if (!w || w->mapped) return;
    w->mapped = true;
    int ax = 0, ay = 0;
    if (!NX_windowOnScreen(w, &ax, &ay)) return;
    postUpdate(w, GR_UPDATE_MAP);
    clearArea(w, 0, 0, w->width, w->height, true);
}

void GrUnmapWindow(GR_WINDOW_ID wid)
{
    NX_Drawable *w = findWindow(wid);
    if (!w || !w->mapped || wid == GR_ROOT_WINDOW_ID) return;
    int ax = 0, ay = 0;
    bool visible = NX_windowOnScreen(w, &ax, &ay);
    w->mapped = false;
    postUpdate(w, GR_UPDATE_UNMAP);
    if (visible) uncover(w);
}

void GrDestroyWindow(GR_WINDOW_ID wid)
{
    NX_Drawable *d = NX_findDrawable(wid);
    if (!d || wid == GR_ROOT_WINDOW_ID) return;
    if (d->isWindow) {
        int ax = 0, ay = 0;
        bool visible = NX_windowOnScreen(d, &ax, &ay);
        postUpdate(d, GR_UPDATE_DESTROY);
        NX_Drawable copy = *d;
        destroyDrawable(wid);
        if (visible) uncover(&copy);
        return;
    }
    destroyDrawable(wid);
}

void GrResizeWindow(GR_WINDOW_ID wid, GR_SIZE width, GR_SIZE height)
{
    if (wid == GR_ROOT_WINDOW_ID) {
        NX_reportError("GrResizeWindow", GR_ERROR_ILLEGAL_ON_ROOT_WINDOW, wid);
        return;
    }
    NX_Drawable *w = findWindow(wid);
    if (!w) {
        NX_reportError("GrResizeWindow", GR_ERROR_BAD_WINDOW_ID, wid);
        return;
    }
    if (width <= 0 || height <= 0) {
        NX_reportError("GrResizeWindow", GR_ERROR_BAD_WINDOW_SIZE, wid);
        return;
    }
    if (width == w->width && height == w->height) return;
    int ax = 0, ay = 0;
    bool visible = NX_windowOnScreen(w, &ax, &ay);
    NX_Drawable before = *w;
    w->width = width;
    w->height = height;
    postUpdate(w, GR_UPDATE_SIZE);
    if (!visible) return;
    if (width < before.width || height < before.height) uncover(&before);
    clearArea(w, 0, 0, width, height, true);
}

void GrSetFocus(GR_WINDOW_ID wid)
{
    NX_Drawable *w = findWindow(wid);
    int ax = 0, ay = 0;
    if (!w || !NX_windowOnScreen(w, &ax, &ay) || (w->props & GR_WM_PROPS_NOFOCUS) || wid == server.focus) return;
    GR_WINDOW_ID old = server.focus;
    server.focus = wid;
    postGeneral(findWindow(old), GR_EVENT_TYPE_FOCUS_OUT, wid);
    postGeneral(w, GR_EVENT_TYPE_FOCUS_IN, old);
}

GR_WINDOW_ID GrGetFocus(void) { return server.focus; }

void GrSelectEvents(GR_WINDOW_ID wid, GR_EVENT_MASK eventmask)
{
    NX_Drawable *w = findWindow(wid);
    if (w) w->events = eventmask;
    else NX_reportError("GrSelectEvents", GR_ERROR_BAD_WINDOW_ID, wid);
}

void GrSetWMProperties(GR_WINDOW_ID wid, GR_WM_PROPERTIES *props)
{
    NX_Drawable *w = findWindow(wid);
    if (!w) {
        NX_reportError("GrSetWMProperties", GR_ERROR_BAD_WINDOW_ID, wid);
        return;
    }
    if (!props) return;
    if (props->flags & GR_WM_FLAGS_PROPS) w->props = props->props;
    if (props->flags & GR_WM_FLAGS_TITLE) {
        std::snprintf(w->title, sizeof w->title, "%s", props->title ? props->title : "");
        if (wid == GR_ROOT_WINDOW_ID || w->parent == GR_ROOT_WINDOW_ID) server.backend->setTitle(w->title);
    }
    if ((props->flags & GR_WM_FLAGS_BACKGROUND) && props->background != w->background) {
        w->background = props->background;
        if (!(w->props & GR_WM_PROPS_BUFFERED)) clearArea(w, 0, 0, w->width, w->height, true);
    }
}

void GrClearArea(GR_WINDOW_ID wid, GR_COORD x, GR_COORD y, GR_SIZE width, GR_SIZE height, int exposeflag)
{
    NX_Drawable *w = findWindow(wid);
    if (w) clearArea(w, x, y, width, height, exposeflag == 1);
}

void GrCloseWindow(GR_WINDOW_ID wid) { postGeneral(findWindow(wid), GR_EVENT_TYPE_CLOSE_REQ, 0); }

GR_WINDOW_ID GrNewPixmapEx(GR_SIZE width, GR_SIZE height, int, void *)
{
    if (!server.open || width <= 0 || height <= 0) return 0;
    if (width > kMaxPixmapSide || height > kMaxPixmapSide) {
        NX_reportError("GrNewPixmapEx", GR_ERROR_MALLOC_FAILED, 0);
        return 0;
    }
    GR_ID id = NX_newDrawableId();
    NX_Drawable *p = NX_addDrawable(id);
    p->width = width;
    p->height = height;
    p->pixels.assign(static_cast<size_t>(width) * height, NX_OPAQUE);
    return id;
}

void GrReadArea(GR_DRAW_ID id, GR_COORD x, GR_COORD y, GR_SIZE width, GR_SIZE height, GR_PIXELVAL *pixels)
{
    if (!pixels || width <= 0 || height <= 0) return;
    NX_Target t;
    bool ok = NX_prepareSource(id, &t);
    for (int row = 0; row < height; row++)
        for (int col = 0; col < width; col++) {
            int dx = x + col, dy = y + row;
            bool inside = ok && dx >= t.clipX1 && dx <= t.clipX2 && dy >= t.clipY1 && dy <= t.clipY2;
            pixels[static_cast<size_t>(row) * width + col] =
                inside ? t.pixels[static_cast<size_t>(dy + t.originY) * t.pitch + dx + t.originX] : 0;
        }
}

// ---- events ----

void GrGetNextEventTimeout(GR_EVENT *ep, GR_TIMEOUT timeout)
{
    if (!ep) return;
    *ep = GR_EVENT{};
    if (!server.open) return;
    NX_remoteDeliver();
    if (popEvent(ep)) return;
    if (server.changedSinceShow) {
        server.backend->show();
        NX_remotePublish();
        server.changedSinceShow = false;
    }
    uint32_t start = NX_elapsedMs();
    for (;;) {
        int remaining = -1;
        if (timeout == GR_TIMEOUT_POLL) remaining = 0;
        else if (timeout != GR_TIMEOUT_BLOCK) {
            uint32_t spent = NX_elapsedMs() - start;
            remaining = spent >= timeout ? 0 : static_cast<int>(std::min<uint32_t>(timeout - spent, 1u << 30));
        }
        server.backend->wait(remaining);
        NX_remoteDeliver();
        if (popEvent(ep)) return;
        if (remaining == 0) {
            ep->type = GR_EVENT_TYPE_TIMEOUT;
            return;
        }
    }
}

void GrGetNextEvent(GR_EVENT *ep) { GrGetNextEventTimeout(ep, GR_TIMEOUT_BLOCK); }

void GrCheckNextEvent(GR_EVENT *ep)
{
    if (!ep) return;
    *ep = GR_EVENT{};
    if (!server.open) return;
    if (server.queueCount == 0) server.backend->wait(0);
    popEvent(ep);
}

int GrPeekEvent(GR_EVENT *ep)
{
    if (!ep) return 0;
    *ep = GR_EVENT{};
    if (!server.open) return 0;
    if (server.queueCount == 0) server.backend->wait(0);
    if (server.queueCount == 0) return 0;
    *ep = server.queue[server.queueHead];
    return 1;
}
