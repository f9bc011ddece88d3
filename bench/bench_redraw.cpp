// A full redraw of the generated 1000-painter picture at 800 x 480 side by
// side with its peers in the same run: the panel's redraw (objects, repaint
// passes, drawing, frame copy), cairo drawing the same display calls on an
// image surface of the same size, and a memcpy of one frame as the floor; and
// the frame copy alone against that memcpy. Also the redraw of a page with
// every kind of object. The display calls of one redraw
// are recorded by wrapping them at link time (--wrap, see CMakeLists.txt).
#include <benchmark/benchmark.h>

#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "comm/target_link.h"
#include "data/containers.h"
#include "data/process_points.h"
#include "draw/graphics.h"
#include "runtime/heap.h"
#include "runtime/settings.h"
#include "teq_render.h"
#include "teq_runtime.h"
#include "teq_sample.h"
#include "teq_text.h"
#include "view/damage.h"
#include "view/object_table.h"
#include "view/view_manager.h"

namespace {

constexpr int kWidth = 800, kHeight = 480;

enum class Op { FillRect, Rect, Line, Point, Poly, FillPoly, Ellipse, FillEllipse, Text };

struct Call {
    Op op;
    GR_COLOR colour;
    int a, b, c, d;               // x, y, width or x2 or rx, height or y2 or ry
    std::vector<GR_POINT> points; // polygons
    std::string text;
    int fontHeight;
    GR_RECT clip; // text only; width 0: none
};

struct Recorder {
    bool on = false;
    GR_COLOR foreground = BLACK;
    int fontHeight = 13; // the built-in font
    GR_RECT clip{};
    std::map<GR_FONT_ID, int> fontHeights;
    std::map<GR_REGION_ID, GR_RECT> regions;
    std::vector<Call> calls;
};
Recorder recorder;

void record(Op op, int a, int b, int c, int d)
{
    if (recorder.on) recorder.calls.push_back({op, recorder.foreground, a, b, c, d, {}, {}, 0, {}});
}

void recordPoints(Op op, int count, const GR_POINT *points)
{
    if (!recorder.on || count <= 0 || !points) return;
    record(op, 0, 0, 0, 0);
    recorder.calls.back().points.assign(points, points + count);
}

} // namespace

// The wrapped display calls: recorded while a recording runs, then done.
extern "C" {
void __real_GrSetGCForeground(GR_GC_ID, GR_COLOR);
void __real_GrSetGCFont(GR_GC_ID, GR_FONT_ID);
GR_FONT_ID __real_GrCreateFontEx(const char *, GR_COORD, GR_COORD, GR_LOGFONT *);
void __real_GrSetGCRegion(GR_GC_ID, GR_REGION_ID);
void __real_GrUnionRectWithRegion(GR_REGION_ID, GR_RECT *);
void __real_GrFillRect(GR_DRAW_ID, GR_GC_ID, GR_COORD, GR_COORD, GR_SIZE, GR_SIZE);
void __real_GrRect(GR_DRAW_ID, GR_GC_ID, GR_COORD, GR_COORD, GR_SIZE, GR_SIZE);
void __real_GrLine(GR_DRAW_ID, GR_GC_ID, GR_COORD, GR_COORD, GR_COORD, GR_COORD);
void __real_GrPoint(GR_DRAW_ID, GR_GC_ID, GR_COORD, GR_COORD);
void __real_GrPoly(GR_DRAW_ID, GR_GC_ID, GR_COUNT, GR_POINT *);
void __real_GrFillPoly(GR_DRAW_ID, GR_GC_ID, GR_COUNT, GR_POINT *);
void __real_GrEllipse(GR_DRAW_ID, GR_GC_ID, GR_COORD, GR_COORD, GR_SIZE, GR_SIZE);
void __real_GrFillEllipse(GR_DRAW_ID, GR_GC_ID, GR_COORD, GR_COORD, GR_SIZE, GR_SIZE);
void __real_GrText(GR_DRAW_ID, GR_GC_ID, GR_COORD, GR_COORD, void *, GR_COUNT, GR_TEXTFLAGS);

void __wrap_GrSetGCForeground(GR_GC_ID gc, GR_COLOR c)
{
    recorder.foreground = c;
    __real_GrSetGCForeground(gc, c);
}
void __wrap_GrSetGCFont(GR_GC_ID gc, GR_FONT_ID font)
{
    if (!recorder.on) return __real_GrSetGCFont(gc, font);
    auto it = recorder.fontHeights.find(font);
    recorder.fontHeight = it == recorder.fontHeights.end() ? 13 : it->second;
    __real_GrSetGCFont(gc, font);
}
GR_FONT_ID __wrap_GrCreateFontEx(const char *name, GR_COORD height, GR_COORD width, GR_LOGFONT *log)
{
    GR_FONT_ID id = __real_GrCreateFontEx(name, height, width, log);
    recorder.fontHeights[id] = height;
    return id;
}
void __wrap_GrSetGCRegion(GR_GC_ID gc, GR_REGION_ID region)
{
    if (!recorder.on) return __real_GrSetGCRegion(gc, region);
    auto it = recorder.regions.find(region);
    recorder.clip = it == recorder.regions.end() ? GR_RECT{} : it->second;
    __real_GrSetGCRegion(gc, region);
}
void __wrap_GrUnionRectWithRegion(GR_REGION_ID region, GR_RECT *rect)
{
    if (rect && recorder.on) recorder.regions[region] = *rect;
    __real_GrUnionRectWithRegion(region, rect);
}
void __wrap_GrFillRect(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y, GR_SIZE w, GR_SIZE h)
{
    record(Op::FillRect, x, y, w, h);
    __real_GrFillRect(id, gc, x, y, w, h);
}
void __wrap_GrRect(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y, GR_SIZE w, GR_SIZE h)
{
    record(Op::Rect, x, y, w, h);
    __real_GrRect(id, gc, x, y, w, h);
}
void __wrap_GrLine(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x1, GR_COORD y1, GR_COORD x2, GR_COORD y2)
{
    record(Op::Line, x1, y1, x2, y2);
    __real_GrLine(id, gc, x1, y1, x2, y2);
}
void __wrap_GrPoint(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y)
{
    record(Op::Point, x, y, 0, 0);
    __real_GrPoint(id, gc, x, y);
}
void __wrap_GrPoly(GR_DRAW_ID id, GR_GC_ID gc, GR_COUNT n, GR_POINT *p)
{
    recordPoints(Op::Poly, n, p);
    __real_GrPoly(id, gc, n, p);
}
void __wrap_GrFillPoly(GR_DRAW_ID id, GR_GC_ID gc, GR_COUNT n, GR_POINT *p)
{
    recordPoints(Op::FillPoly, n, p);
    __real_GrFillPoly(id, gc, n, p);
}
void __wrap_GrEllipse(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y, GR_SIZE rx, GR_SIZE ry)
{
    record(Op::Ellipse, x, y, rx, ry);
    __real_GrEllipse(id, gc, x, y, rx, ry);
}
void __wrap_GrFillEllipse(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y, GR_SIZE rx, GR_SIZE ry)
{
    record(Op::FillEllipse, x, y, rx, ry);
    __real_GrFillEllipse(id, gc, x, y, rx, ry);
}
void __wrap_GrText(GR_DRAW_ID id, GR_GC_ID gc, GR_COORD x, GR_COORD y, void *s, GR_COUNT n, GR_TEXTFLAGS f)
{
    if (recorder.on && s) {
        record(Op::Text, x, y, 0, 0);
        Call &call = recorder.calls.back();
        call.text = n < 0 ? std::string(static_cast<const char *>(s)) : std::string(static_cast<const char *>(s), n);
        call.fontHeight = recorder.fontHeight;
        call.clip = recorder.clip;
    }
    __real_GrText(id, gc, x, y, s, n, f);
}
}

namespace {

teqc::HeadlessDisplay *display;
const char *loaded = ""; // the picture in the object table

void setPoint(const std::string &name, const char *value)
{
    PPO_addToList(name.c_str(), nullptr);
    if (PpoRecord *r = PPO_lookup(name.c_str())) PPO_updateValue(r, value);
}

void load(const char *name, const std::string &text)
{
    if (!display) display = new teqc::HeadlessDisplay(kWidth, kHeight);
    if (std::strcmp(loaded, name) == 0) return;
    teqc::ReaderResult read = teqc::runReader(teqc::buildTeq(text));
    if (!read.accepted) std::abort();
    loaded = name;
    pterm.debug_level = 0;
    MU_init2();
    HT_resetContainers();
    pterm.remote_mode = 1;
    SetRemoteStatus(1);
}

// The page of every object kind (bench/pictures/widgets.teqt), its values set.
void loadWidgets()
{
    std::ifstream in(PANTERM_SOURCE_DIR "/bench/pictures/widgets.teqt");
    std::stringstream text;
    text << in.rdbuf();
    load("widgets", text.str());
    HT_writeContainer("Lamp", "0,200,0");
    HT_writeContainer("Notes", "Pump P1\tstarted\t07:02\nTank T1\thigh\t07:15\n");
    setPoint("sim.ramp", "420");
    setPoint("sim.sine", "37");
    setPoint("Tank.Setpoint", "55");
    setPoint("Pump.Mode", "2");
}

// The generated picture with the values of the stored-image test: ten colour
// containers, a level, twenty motors in the cache; its calls recorded once.
void prepare()
{
    bool first = !display;
    load("sample", teqc::samplePicture(1000));
    HT_writeContainer("level", "500");
    for (int i = 0; i < 10; i++) {
        std::string colour = std::to_string(25 * i) + ",128," + std::to_string(250 - 20 * i);
        HT_writeContainer(("fill" + std::to_string(i)).c_str(), colour.c_str());
    }
    for (int i = 0; i < 20; i++) setPoint("Motor" + std::to_string(i), i % 3 ? "1" : "0");
    if (!first) return;
    recorder.on = true;
    teqc::drawAllObjects();
    recorder.on = false;
}

void setColour(cairo_t *cr, GR_COLOR c)
{
    cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0);
}

void path(cairo_t *cr, const std::vector<GR_POINT> &points, double offset)
{
    cairo_move_to(cr, points[0].x + offset, points[0].y + offset);
    for (size_t i = 1; i < points.size(); i++) cairo_line_to(cr, points[i].x + offset, points[i].y + offset);
}

void ellipsePath(cairo_t *cr, const Call &k, double offset)
{
    cairo_save(cr);
    cairo_translate(cr, k.a + 0.5, k.b + 0.5);
    cairo_scale(cr, k.c + offset, k.d + offset);
    cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
    cairo_restore(cr);
}

// The recorded calls on cairo: shapes without anti-aliasing (as the panel
// draws them), outlines one pixel wide on the pixel centres, texts in DejaVu
// Sans of the same height, anti-aliased and clipped to their boxes.
void replay(cairo_t *cr, const std::vector<Call> &calls)
{
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_line_width(cr, 1.0);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    for (const Call &k : calls) {
        setColour(cr, k.colour);
        switch (k.op) {
        case Op::FillRect:
            cairo_rectangle(cr, k.a, k.b, k.c, k.d);
            cairo_fill(cr);
            break;
        case Op::Rect:
            cairo_rectangle(cr, k.a + 0.5, k.b + 0.5, k.c - 1, k.d - 1);
            cairo_stroke(cr);
            break;
        case Op::Line:
            cairo_move_to(cr, k.a + 0.5, k.b + 0.5);
            cairo_line_to(cr, k.c + 0.5, k.d + 0.5);
            cairo_stroke(cr);
            break;
        case Op::Point:
            cairo_rectangle(cr, k.a, k.b, 1, 1);
            cairo_fill(cr);
            break;
        case Op::Poly:
            path(cr, k.points, 0.5);
            cairo_stroke(cr);
            break;
        case Op::FillPoly:
            path(cr, k.points, 0);
            cairo_fill(cr);
            break;
        case Op::Ellipse:
            ellipsePath(cr, k, 0);
            cairo_stroke(cr);
            break;
        case Op::FillEllipse:
            ellipsePath(cr, k, 0.5);
            cairo_fill(cr);
            break;
        case Op::Text:
            cairo_save(cr);
            if (k.clip.width > 0) {
                cairo_rectangle(cr, k.clip.x, k.clip.y, k.clip.width, k.clip.height);
                cairo_clip(cr);
            }
            cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
            cairo_set_font_size(cr, k.fontHeight);
            cairo_move_to(cr, k.a, k.b);
            cairo_show_text(cr, k.text.c_str());
            cairo_restore(cr);
            break;
        }
    }
}

void BM_Redraw_Panel(benchmark::State &state)
{
    prepare();
    for (auto _ : state) teqc::drawAllObjects();
    state.counters["calls"] = static_cast<double>(recorder.calls.size());
}
BENCHMARK(BM_Redraw_Panel)->Unit(benchmark::kMicrosecond);

void BM_Redraw_EveryWidgetKind(benchmark::State &state)
{
    loadWidgets();
    for (auto _ : state) teqc::drawAllObjects();
}
BENCHMARK(BM_Redraw_EveryWidgetKind)->Unit(benchmark::kMicrosecond);

// 1000 painters in the places of the generated picture, each reading a
// process point of its own (P0 .. P999): fill and line colours, a fill
// switched by a level; every fifth a fixed text.
std::string ownPointPicture()
{
    std::ostringstream text;
    text << "teq g\npage-size 800,480\nbackground 255,255,255\nfill on\nborder on\n";
    for (int i = 0; i < 1000; i++) {
        int x = (i * 37) % 760, y = (i * 53) % 440;
        std::string point = "PPO \"P" + std::to_string(i) + "\"";
        text << "fill-colour " << i % 256 << "," << (i * 7) % 256 << "," << (i * 13) % 256 << "\n";
        switch (i % 5) {
        case 0:
            text << "painter \"XRectangleP\" at " << x << "," << y << " size 40,30 plc 0 {\n  block \"XRectangleP\" id "
                 << i << " {\n    repaint 39 " << point << "\n  }\n}\n";
            break;
        case 1:
            text << "painter \"XOvalP\" at " << x << "," << y << " size 30,30 plc 0 {\n  block \"XOvalP\" id " << i
                 << " {\n    repaint 41 STRING \"\" {\n      when compare gt " << point
                 << " STRING \"50\"\n    }\n  }\n}\n";
            break;
        case 2:
            text << "painter \"XLineP\" at " << x << "," << y << " size 30,20 plc 0 {\n  block \"XLineP\" id " << i
                 << " {\n    repaint 38 " << point << "\n  }\n  start " << x << " " << y << "\n}\n";
            break;
        case 3:
            text << "painter \"XPolygoneP\" at " << x << "," << y << " size 30,30 plc 0 {\n  block \"XPolygoneP\" id "
                 << i << " {\n    repaint 39 " << point << "\n  }\n  points " << x << "," << y + 30 << " " << x + 15
                 << "," << y << " " << x + 30 << "," << y + 30 << "\n}\n";
            break;
        default:
            text << "painter \"DefaultTextP\" at " << x << "," << y << " size 60,20 plc 0 {\n  text \"Text " << i
                 << "\" 0 0\n}\n";
            break;
        }
    }
    return text.str();
}

std::string pointValue(int i, int turn)
{
    if (i % 5 == 1) return std::to_string((i + turn) % 100);
    return std::to_string((i * 3 + 40 * turn) % 256) + ",90," + std::to_string((i * 11) % 256);
}

// The picture loaded, its values set and drawn once completely through the
// view manager with full_redraw set.
void prepareCycles()
{
    load("points", ownPointPicture());
    for (int i = 0; i < 1000; i++) setPoint("P" + std::to_string(i), pointValue(i, 0).c_str());
    pterm.full_redraw = 1;
    scheduleFullRedraw();
    VM_redraw_sync();
    VM_redraw_sync(); // the first cycle after a complete one, for the records to settle
}

double seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

double median(std::vector<double> &v)
{
    if (v.empty()) return 0.0;
    std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
    return v[v.size() / 2];
}

// A refresh cycle of the view manager with full_redraw set in turns with a
// complete redraw of the same picture: each turn times a complete redraw
// (requested as a page load requests it) and a cycle in which one point of the
// thousand changed or none did. Counters: "ratio", the median of the per-turn
// ratios cycle / complete redraw; "complete_us", the median complete redraw;
// "drawn" and "copied_px", the objects drawn and the pixels copied per cycle.
void cyclesAgainstCompleteRedraw(benchmark::State &state, bool change)
{
    prepareCycles();
    std::vector<double> ratios, completes;
    int turn = 0;
    double drawn = 0, copied = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        scheduleFullRedraw();
        VM_redraw_sync();
        auto t1 = std::chrono::steady_clock::now();
        VM_redraw_sync(); // settles after the complete redraw, untimed
        int point = (turn * 389) % 1000;
        turn++;
        if (change) setPoint("P" + std::to_string(point), pointValue(point, turn).c_str());
        auto t2 = std::chrono::steady_clock::now();
        VM_redraw_sync();
        auto t3 = std::chrono::steady_clock::now();
        ratios.push_back(seconds(t2, t3) / seconds(t0, t1));
        completes.push_back(seconds(t0, t1) * 1e6);
        DM_PassInfo pass = DM_lastPass();
        drawn += pass.drawn;
        copied += static_cast<double>(pass.copied.width) * pass.copied.height;
    }
    state.counters["ratio"] = median(ratios);
    state.counters["complete_us"] = median(completes);
    state.counters["drawn"] = benchmark::Counter(drawn, benchmark::Counter::kAvgIterations);
    state.counters["copied_px"] = benchmark::Counter(copied, benchmark::Counter::kAvgIterations);
}

void BM_Cycle_OneChange(benchmark::State &state) { cyclesAgainstCompleteRedraw(state, true); }
BENCHMARK(BM_Cycle_OneChange)->Unit(benchmark::kMicrosecond);

void BM_Cycle_NoChange(benchmark::State &state) { cyclesAgainstCompleteRedraw(state, false); }
BENCHMARK(BM_Cycle_NoChange)->Unit(benchmark::kMicrosecond);

// The redraw and the frame memcpy in turns, each timed on its own, so that
// both see the same load of a shared machine: the median of the per-turn
// ratios.
void BM_Redraw_TurnsWithMemcpy(benchmark::State &state)
{
    prepare();
    std::vector<uint32_t> from(kWidth * kHeight, 0xFF102030), to(kWidth * kHeight);
    std::vector<double> ratios;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        std::memcpy(to.data(), from.data(), from.size() * sizeof(uint32_t));
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        auto t1 = std::chrono::steady_clock::now();
        teqc::drawAllObjects();
        auto t2 = std::chrono::steady_clock::now();
        ratios.push_back(std::chrono::duration<double>(t2 - t1).count() /
                         std::chrono::duration<double>(t1 - t0).count());
    }
    std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
    state.counters["ratio"] = ratios.empty() ? 0.0 : ratios[ratios.size() / 2];
}
BENCHMARK(BM_Redraw_TurnsWithMemcpy)->Unit(benchmark::kMicrosecond);

void BM_Redraw_Cairo(benchmark::State &state)
{
    prepare();
    cairo_surface_t *surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t *cr = cairo_create(surface);
    replay(cr, recorder.calls); // the font cache warm, as the panel's is
    for (auto _ : state) {
        replay(cr, recorder.calls);
        cairo_surface_flush(surface);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    state.counters["calls"] = static_cast<double>(recorder.calls.size());
}
BENCHMARK(BM_Redraw_Cairo)->Unit(benchmark::kMicrosecond);

void BM_FrameCopy_Panel(benchmark::State &state)
{
    prepare();
    for (auto _ : state) {
        G_DrawViewBegin();
        G_DrawViewEnd();
    }
}
BENCHMARK(BM_FrameCopy_Panel)->Unit(benchmark::kMicrosecond);

void BM_FrameCopy_Memcpy(benchmark::State &state)
{
    std::vector<uint32_t> from(kWidth * kHeight, 0xFF102030), to(kWidth * kHeight);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * sizeof(uint32_t));
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * from.size() * sizeof(uint32_t));
}
BENCHMARK(BM_FrameCopy_Memcpy)->Unit(benchmark::kMicrosecond);

} // namespace
