// Object kinds: attaching their loaders and hooks.
#include "objects/objects.h"

#include "objects/bar_graph.h"
#include "objects/drop_down_list.h"
#include "objects/file_viewer.h"
#include "objects/graph.h"
#include "objects/image_button.h"
#include "objects/keypad.h"
#include "objects/shapes.h"
#include "objects/text_field.h"
#include "runtime/heap.h"
#include "runtime/hooks.h"
#include "view/damage.h"
#include "view/painter_loader.h"

namespace {

struct ClassLoader {
    const char *className;
    PA_Loader loader;
};

const ClassLoader kLoaders[] = {
    {"XLineP", LN_loadDefaultLine},
    {"DefaultLineP", LN_loadDefaultLine},
    {"XRectangleP", RC_loadDefaultRectangle},
    {"DefaultRectangleP", RC_loadDefaultRectangle},
    {"XOvalP", OV_loadXOvalP},
    {"DefaultOvalP", OV_loadDefaultOval},
    {"XPolygoneP", PG_loadXPolygoneP},
    {"DefaultPolygoneP", PG_loadDefaultPolygone},
    {"DefaultPolylineP", PLN_loadDefaultPolyline},
    {"DefaultTextP", TX_loadDefaultText},
    {"IDegradeHP", loadDegradeH},
    {"IDegradeVP", loadDegradeV},
    {"XDegradeVP", loadXDegradeV},
    {"IButtonP", IB_loadIButton},
    {"TextFieldP", TF_loadTextField},
    {"IBarGraphP", BG_loadBarGraphP},
    {"CircularGaugeP", BG_loadCircularGaugeP},
    {"IGraphicP", loadGraphicP},
    {"FileViewerP", loadFileViewer},
    {"DropDownListP", loadDDList},
};

char *keypadText() { return g_keypad; }

// The shapes draw what their painter blocks read and nothing else: the
// damage tracking draws them only when that changed.
const OB_NotifyFunction kPureKinds[] = {rectangleNotify, ovalNotify, textNotify,     polygoneNotify,
                                        LN_notify,       PLN_notify, degradeHNotify, degradeVNotify};

} // namespace

OB_Object *OBJ_newObjectForDoubles(uint32_t size)
{
    if (MU_WORD_SIZE < alignof(double) && MU_getMyHeapSize() % (alignof(double) / MU_WORD_SIZE) != 0) MU_alloc(1);
    return PA_newObject(size);
}

void OBJ_attachHooks()
{
    for (const ClassLoader &c : kLoaders) PA_setLoader(c.className, c.loader);
    for (OB_NotifyFunction notify : kPureKinds) DM_addPureKind(notify);
    HK_Hooks *h = HK_hooks();
    h->keypadRead = keyPadReadVal;
    h->keypadWrite = keyPadWriteVal;
    h->keypadText = keypadText;
    h->resetKeypad = TF_resetKeypadState;
    h->focusFieldAfterKeypad = CO_setFocusOnEditFieldAfterKeypadClosed;
    h->loadWarningButton = IB_loadWarningButton;
    h->removeListItem = FV_removeItemAt;
}
