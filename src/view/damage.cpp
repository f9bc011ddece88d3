// Damage tracking: the record of each object's last drawing and the partial
// redraw and refresh passes built on them.
#include "view/damage.h"

#include <algorithm>

#include "data/read_stamps.h"
#include "draw/graphics.h"
#include "runtime/settings.h"
#include "transport/target_address.h"

namespace {

#define DM_PURE_KINDS 16

struct Record {
    RS_Reads reads;
    uint32_t drawnAt; // read stamp before the drawing began
    GR_RECT extent;   // width 0: drew nothing
    bool known;       // drawn with recording since the records were last dropped
    bool alwaysDrawn; // volatile: drawn on every pass
    bool onlyReads;   // its drawing has no effect but pixels: it may be drawn to measure it
};

// What the frame looked like to the last complete or partial pass; a pass
// may build on the records only while all of it still holds.
struct FrameState {
    bool valid;   // the records' extents describe the frame's pixels
    bool writers; // the page's drawing writes stored values
    GR_DRAW_ID frame;
    int objects, modal, focus, showSelection, remote;
    uint32_t background, drops;
    int pageWidth, pageHeight;
    uint32_t stampAtStart; // RS_now() when the last pass began: no object changed while it still holds
};

Record records[OB_MAX_OBJECTS];
OB_NotifyFunction pureKinds[DM_PURE_KINDS];
int pureKindCount;
int (*writerTest)(int id);
FrameState state;
DM_PassInfo lastPass;
bool drawnNow[OB_MAX_OBJECTS]; // scratch of one pass
int firstWriter;               // drawing-order place of the first object that wrote while drawn, -1 none
int place;                     // drawing-order place of the object being visited

bool isPure(int id)
{
    const OB_Object *o = OB_Get_Pointer(id);
    if (!o || !o->Notify) return false;
    for (int i = 0; i < pureKindCount; i++)
        if (pureKinds[i] == o->Notify) return true;
    return false;
}

FrameState currentState()
{
    FrameState s{};
    s.valid = true;
    s.frame = g_offscreen;
    s.objects = OB_HowManyObjetcs();
    s.modal = OB_getActualModal();
    s.focus = OB_getActualFocus();
    s.showSelection = pterm.show_selection;
    s.remote = GetRemoteStatus(); // where process values are read from
    s.background = G_GetBackGroundColor();
    s.drops = RS_dropCount();
    G_GetSize(&s.pageWidth, &s.pageHeight);
    return s;
}

bool sameFrame(const FrameState &a, const FrameState &b)
{
    return a.frame == b.frame && a.objects == b.objects && a.modal == b.modal && a.focus == b.focus &&
           a.showSelection == b.showSelection && a.remote == b.remote && a.background == b.background &&
           a.drops == b.drops && a.pageWidth == b.pageWidth && a.pageHeight == b.pageHeight;
}

bool isEmpty(const GR_RECT &r) { return r.width <= 0 || r.height <= 0; }

GR_RECT unite(const GR_RECT &a, const GR_RECT &b)
{
    if (isEmpty(a)) return b;
    if (isEmpty(b)) return a;
    int x1 = std::min(a.x, b.x), y1 = std::min(a.y, b.y);
    int x2 = std::max(a.x + a.width, b.x + b.width), y2 = std::max(a.y + a.height, b.y + b.height);
    return {x1, y1, x2 - x1, y2 - y1};
}

GR_RECT intersect(const GR_RECT &a, const GR_RECT &b)
{
    int x1 = std::max(a.x, b.x), y1 = std::max(a.y, b.y);
    int x2 = std::min(a.x + a.width, b.x + b.width), y2 = std::min(a.y + a.height, b.y + b.height);
    if (x1 >= x2 || y1 >= y2) return {0, 0, 0, 0};
    return {x1, y1, x2 - x1, y2 - y1};
}

GR_RECT screenRect() { return {0, 0, g_screenWidth, g_screenHeight}; }

// The part of r that lies on the screen lies inside d.
bool coveredBy(const GR_RECT &r, const GR_RECT &d)
{
    GR_RECT visible = intersect(r, screenRect());
    if (isEmpty(visible)) return true;
    return !isEmpty(d) && visible.x >= d.x && visible.y >= d.y && visible.x + visible.width <= d.x + d.width &&
           visible.y + visible.height <= d.y + d.height;
}

// Sends the message to one object, recording what it read and where it drew.
void drawRecorded(int id, int message)
{
    Record &r = records[id];
    r.drawnAt = RS_now();
    uint32_t writes = RS_writeCount();
    RS_open(&r.reads);
    G_BeginExtent();
    bool drawable =
        id == OB_getActualModal() || OB_IsDrawable(id); // the modal object is sent its message whatever its size
    if (drawable) OB_SendMessage(id, message, 0, nullptr);
    else OB_NotDrawable(id);
    int bits = G_EndExtent(&r.extent);
    RS_close();
    r.known = true;
    // the marks of an object that does not fit follow from its place alone
    r.onlyReads = isPure(id) && !(bits & G_EXTENT_STATEFUL);
    r.alwaysDrawn = drawable && (r.reads.isVolatile || !r.onlyReads);
    drawnNow[id] = true;
    lastPass.drawn++;
    if (firstWriter < 0 && (RS_writeCount() != writes || (writerTest && writerTest(id)))) firstWriter = place;
}

bool changed(int id)
{
    const Record &r = records[id];
    if (!r.known || r.alwaysDrawn) return true;
    return RS_now() != state.stampAtStart && RS_changedSince(&r.reads, r.drawnAt);
}

// Table order with the modal object last.
template <typename Visit> void inDrawingOrder(Visit visit)
{
    int modal = OB_getActualModal(), count = OB_HowManyObjetcs();
    place = 0;
    for (int id = 0; id < count; id++)
        if (id != modal) {
            visit(id);
            place++;
        }
    if (modal >= 0 && modal < count) visit(modal);
}

void beginPass()
{
    lastPass = DM_PassInfo{};
    std::fill(drawnNow, drawnNow + OB_MAX_OBJECTS, false);
    firstWriter = -1;
}

// An object after the first writer that was not drawn but read what was
// written: a complete redraw would show it with the new value.
bool missedAWrite()
{
    bool missed = false;
    if (firstWriter < 0) return false;
    inDrawingOrder([&](int id) {
        if (place > firstWriter && !drawnNow[id] && RS_changedSince(&records[id].reads, records[id].drawnAt))
            missed = true;
    });
    return missed;
}

bool dirtyNow[OB_MAX_OBJECTS]; // scratch of one pass

// The box an object of a kind that only reads will draw into now, found by
// drawing it with nothing let through; width 0 when none.
GR_RECT measure(int id)
{
    static const GR_RECT nothing = {0, 0, 0, 0};
    GR_RECT box;
    G_SetFrameClip(&nothing);
    G_BeginExtent();
    if (OB_IsDrawable(id)) OB_SendMessage(id, OB_MSG_DRAW, 0, nullptr);
    G_EndExtent(&box);
    G_SetFrameClip(nullptr);
    return box;
}

// Marks the objects that changed; answers whether any did.
bool findChanged()
{
    bool any = false;
    int count = OB_HowManyObjetcs();
    for (int id = 0; id < count; id++) {
        dirtyNow[id] = changed(id);
        any = any || dirtyNow[id];
    }
    return any;
}

// The union of the boxes of the objects that changed, before and (for the
// kinds whose drawing only reads) after, on the screen. Inside a frame.
GR_RECT damageOf()
{
    GR_RECT damage = {0, 0, 0, 0};
    int count = OB_HowManyObjetcs();
    for (int id = 0; id < count; id++) {
        if (!dirtyNow[id]) continue;
        damage = unite(damage, records[id].extent);
        if (records[id].onlyReads) damage = unite(damage, measure(id));
    }
    return intersect(damage, screenRect());
}

// Clears the damage and draws into it every object that changed or overlaps
// it; false when a changed object drew outside it, or an unchanged one
// outside where it drew before.
bool drawDamage(const GR_RECT &damage)
{
    G_SetFrameClip(&damage);
    G_ClearScreen();
    bool inside = true;
    inDrawingOrder([&](int id) {
        GR_RECT before = records[id].extent;
        if (!dirtyNow[id] && isEmpty(intersect(before, damage))) return;
        drawRecorded(id, OB_MSG_DRAW);
        if (!coveredBy(records[id].extent, dirtyNow[id] ? damage : before)) inside = false;
    });
    G_SetFrameClip(nullptr);
    return inside;
}

// A complete pass, recorded; objects that were drawn in this cycle already
// and drew nothing (event objects) are not sent their message again.
void drawComplete(int message, bool skipDrawnEmpty)
{
    uint32_t start = RS_now();
    bool writers = state.writers;
    inDrawingOrder([&](int id) {
        if (skipDrawnEmpty && drawnNow[id] && isEmpty(records[id].extent)) return;
        drawRecorded(id, message);
    });
    state = currentState();
    state.valid = message == OB_MSG_DRAW;
    state.writers = writers || firstWriter >= 0;
    state.stampAtStart = start;
    lastPass.complete = 1;
    lastPass.copied = screenRect();
}

} // namespace

void DM_addPureKind(OB_NotifyFunction notify)
{
    for (int i = 0; i < pureKindCount; i++)
        if (pureKinds[i] == notify) return;
    if (notify && pureKindCount < DM_PURE_KINDS) pureKinds[pureKindCount++] = notify;
}

void DM_drawAll(int message)
{
    beginPass();
    drawComplete(message, false);
}

int DM_redrawChanged()
{
    if (!state.valid || state.writers || !sameFrame(state, currentState()) || !G_FrameKept()) return 0;
    beginPass();
    uint32_t start = RS_now();
    if (!findChanged()) {
        if (G_WindowTouched()) {
            G_DrawViewBegin();
            G_DrawViewEnd();
            lastPass.copied = screenRect();
        }
        return 1;
    }
    G_DrawViewBegin();
    GR_RECT damage = damageOf();
    if (!drawDamage(damage) || missedAWrite()) {
        // an object that keeps state of its own grew out of the damage, or
        // one not drawn read a value written while an earlier one drew
        G_ClearScreen();
        drawComplete(OB_MSG_DRAW, true);
        G_DrawViewEnd();
        return 1;
    }
    state.stampAtStart = start;
    state.writers = firstWriter >= 0;
    lastPass.copied = G_WindowTouched() ? screenRect() : damage;
    G_DrawViewEndArea(&damage);
    return 1;
}

void DM_refreshChanged()
{
    FrameState now = currentState();
    bool writers = state.writers, keep = sameFrame(state, now) && !writers;
    uint32_t start = RS_now();
    beginPass();
    G_DrawViewBegin();
    GR_RECT drawn{0, 0, 0, 0};
    inDrawingOrder([&](int id) {
        if (keep && !changed(id)) return;
        drawRecorded(id, OB_MSG_REFRESH);
        drawn = unite(drawn, records[id].extent);
    });
    drawn = intersect(drawn, screenRect());
    bool whole = !keep || G_WindowTouched();
    state = now;
    state.stampAtStart = start;
    state.writers = writers || firstWriter >= 0;
    state.valid = false; // a refresh draws over what is there: its extents say nothing of the frame
    lastPass.copied = whole ? screenRect() : drawn;
    G_DrawViewEndArea(whole ? nullptr : &drawn);
}

void DM_setWriterTest(int (*mayWriteWhenDrawn)(int id)) { writerTest = mayWriteWhenDrawn; }

void DM_invalidate()
{
    state.valid = false;
    state.writers = false;
    state.frame = 0;
}

void DM_reset()
{
    std::fill(records, records + OB_MAX_OBJECTS, Record{});
    std::fill(pureKinds, pureKinds + DM_PURE_KINDS, nullptr);
    pureKindCount = 0;
    writerTest = nullptr;
    state = FrameState{};
    lastPass = DM_PassInfo{};
}

DM_PassInfo DM_lastPass() { return lastPass; }
