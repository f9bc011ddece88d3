// Painter loading. Owns the class table, with the loaders the object kinds
// attach, and the names of the page's layer files. Reads through the TEQ
// reader's primitives, creates objects through the kinds' loaders, loads
// layer files through the view manager and moves their objects in the object
// table.
#include "view/painter_loader.h"

#include <cstdio>
#include <cstring>

#include "runtime/heap.h"
#include "runtime/log.h"
#include "runtime/str_util.h"
#include "view/object_table.h"
#include "view/painter_block.h"
#include "view/teq_reader.h"
#include "view/view_manager.h"

namespace {

struct PainterClass {
    const char *name;
    PA_Loader loader; // null until the kind's layer attaches it
};

// Every painter class of the format. A known class whose loader is not
// attached has its body skipped without a message.
PainterClass classes[] = {
    {"XLineP", nullptr},           {"DefaultLineP", nullptr}, {"XRectangleP", nullptr}, {"DefaultRectangleP", nullptr},
    {"XOvalP", nullptr},           {"DefaultOvalP", nullptr}, {"XPolygoneP", nullptr},  {"DefaultPolygoneP", nullptr},
    {"DefaultPolylineP", nullptr}, {"DefaultTextP", nullptr}, {"IDegradeHP", nullptr},  {"IDegradeVP", nullptr},
    {"XDegradeVP", nullptr},       {"IButtonP", nullptr},     {"TextFieldP", nullptr},  {"IBarGraphP", nullptr},
    {"CircularGaugeP", nullptr},   {"EventP", nullptr},       {"IGraphicP", nullptr},   {"FileViewerP", nullptr},
    {"DropDownListP", nullptr},
};

PainterClass *findClass(const char *className)
{
    for (PainterClass &c : classes)
        if (stringcmp(className, c.name)) return &c;
    return nullptr;
}

char backgroundName[64];
char foregroundName[64];

void skipBody(int file, int32_t length)
{
    for (int32_t i = 0; i < length; i++)
        if (teqReadByte(file) < 0) return;
}

void logUnknownPainter(const OB_Object *defaults, const char *className)
{
    char format[128];
    std::snprintf(format, sizeof format, "Unknown painter at (%d, %d, %d, %d) !\n %%s\n", defaults->x, defaults->y,
                  defaults->width, defaults->height);
    log_append(0, format, className);
}

// Loads one layer file and answers the number of objects it added (0 when
// it failed or added none).
int loadLayer(char *name, int layer)
{
    int added = 0;
    if (name[0] != '\0' && str_endsWithIgnoreCase(name, ".teq")) {
        int before = OB_HowManyObjetcs();
        teqSetLayerLoading(layer);
        if (VM_loadTeqFile(name, 0) == 0) added = OB_HowManyObjetcs() - before;
    }
    name[0] = '\0';
    return added;
}

} // namespace

PA_Loader PA_findLoader(const char *className)
{
    const PainterClass *c = findClass(className);
    return c ? c->loader : nullptr;
}

int PA_isKnownClass(const char *className) { return findClass(className) != nullptr; }

int PA_setLoader(const char *className, PA_Loader loader)
{
    PainterClass *c = findClass(className);
    if (!c) return 0;
    c->loader = loader;
    return 1;
}

void PA_resetLoaders()
{
    for (PainterClass &c : classes) c.loader = nullptr;
    PA_clearView();
}

void PA_loadPainter(int file, OB_Object *defaults)
{
    int x = 0, y = 0, width = 0, height = 0;
    readPair(file, &x, &y);
    readPair(file, &width, &height);
    char className[32], fallback[32];
    readString(file, className, sizeof className);
    readString(file, fallback, sizeof fallback);
    int plcId = EditorVersion >= TEQ_VERSION_D ? teqReadByte(file) : 0;
    int32_t length = ReadJavaInt(file);
    defaults->x = static_cast<int16_t>(x);
    defaults->y = static_cast<int16_t>(y);
    defaults->width = static_cast<int16_t>(width);
    defaults->height = static_cast<int16_t>(height);
    defaults->plcId = static_cast<uint8_t>(plcId < 0 ? 0 : plcId);
    const PainterClass *c = findClass(className);
    if (!c) {
        logUnknownPainter(defaults, className);
        c = findClass(fallback);
    }
    if (c && c->loader) c->loader(file, defaults);
    else skipBody(file, length);
}

OB_Object *PA_newObject(uint32_t size)
{
    int16_t id;
    OB_Object *object = OB_LoadObj(size, &id);
    if (!object) teqSetLoadError();
    return object;
}

int PA_readBlock(int file, OB_Object *object, MPainter *block, const OB_Object *defaults)
{
    if (MP_loadMPainter(file, block, defaults)) return 1;
    OB_Delete_Object(object->id);
    return 0;
}

MPainter *PA_readBlockRef(int file, OB_Object *object, const OB_Object *defaults)
{
    auto *block = static_cast<MPainter *>(MU_alloc(sizeof(MPainter)));
    if (!block) {
        teqSetLoadError();
        OB_Delete_Object(object->id);
        return nullptr;
    }
    return PA_readBlock(file, object, block, defaults) ? block : nullptr;
}

void PA_finishObject(OB_Object *object, const OB_Object *defaults, int16_t kind, OB_NotifyFunction notify)
{
    copyProperies(object, defaults);
    object->kind = kind;
    object->Notify = notify;
}

void PA_LoadLayerTeq(int file)
{
    int selector = teqReadByte(file);
    if (selector < 0) return;
    char *target = selector == 1 ? backgroundName : selector == 0 ? foregroundName : nullptr;
    if (target) readString(file, target, sizeof backgroundName);
    else dumpString(file);
}

void PA_clearView()
{
    backgroundName[0] = '\0';
    foregroundName[0] = '\0';
}

void PA_LoadLayerTeqIfAny()
{
    if (teqGetLayerLoading()) return;
    OB_setLayerCounts(0, 0);
    int background = loadLayer(backgroundName, 1);
    if (background > 0) OB_MoveObjectsToBack(0, OB_HowManyObjetcs() - background, background);
    int foreground = loadLayer(foregroundName, 2);
    OB_setLayerCounts(background, foreground);
    teqSetLayerLoading(0);
}
