// Input events. Not built yet: there are no objects to focus.
#include "input/input_events.h"

#include "input/event_object.h"
#include "input/key_queue.h"
#include "input/navigation.h"
#include "runtime/hooks.h"
#include "view/painter_loader.h"

void MH_selectObject(int, int) {}
int MH_mouseDown(int, int) { return 0; }
int MH_mouseUp(int, int) { return 0; }
void MH_pointObjectWithCoord(int, int) {}
void MH_selectObjectWithCoord(int, int) {}
int MH_entry() { return 0; }

void MH_attachHooks()
{
    HK_Hooks *h = HK_hooks();
    h->clearNavigation = NAV_clearAll;
    h->selectObject = MH_selectObject;
    h->deliverKeys = MH_entry;
    h->clearKeys = MH_clearKeyEvents;
    PA_setLoader("EventP", loadEvent);
}
