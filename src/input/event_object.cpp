// Event objects. Each run of an event object's actions is bound to one
// trigger: drawing and refreshing (2), the page entered (4), the page left (5).
#include "input/event_object.h"

#include "data/process_points.h"
#include "input/actions.h"
#include "view/painter_loader.h"

namespace {

void runActions(AC_EventObject *event, int trigger)
{
    const MPainter &block = event->block;
    if (AC_isDisabled(&event->object, block.actions, block.actionCount) || !PPO_isReady()) return;
    for (int i = 0; i < block.actionCount; i++) {
        const MP_Action *action = &block.actions[i];
        if (action->trigger != trigger || !CO_evaluateLogicCondition(&action->condition)) continue;
        int counter = 0;
        AC_executeActionEventP(&event->object, action, &counter);
    }
}

int triggerOf(int message)
{
    switch (message) {
    case OB_MSG_DRAW:
    case OB_MSG_REFRESH: return AC_TRIGGER_DRAW;
    case OB_MSG_PAGE_ENTERED: return AC_TRIGGER_PAGE_ENTERED;
    case OB_MSG_PAGE_LEFT: return AC_TRIGGER_PAGE_LEFT;
    default: return -1;
    }
}

} // namespace

OB_Object *loadEvent(int file, OB_Object *defaults)
{
    auto *event = reinterpret_cast<AC_EventObject *>(PA_newObject(sizeof(AC_EventObject)));
    if (!event || !PA_readBlock(file, &event->object, &event->block, defaults)) return nullptr;
    PA_finishObject(&event->object, defaults, OB_KIND_OWN_HANDLERS, eventNotify);
    return &event->object;
}

int32_t eventNotify(int id, int message, int a, void *b)
{
    if (message == OB_MSG_CLASS_ID) return AC_EVENT_CLASS_ID;
    int trigger = triggerOf(message);
    auto *event = reinterpret_cast<AC_EventObject *>(OB_Get_Pointer(id));
    if (trigger < 0 || !event) return OB_SquareNotify(id, message, a, b);
    runActions(event, trigger);
    return id;
}

int AC_actsWhenDrawn(int id)
{
    const OB_Object *o = OB_Get_Pointer(id);
    if (!o || o->Notify != eventNotify) return 0;
    const MPainter &block = reinterpret_cast<const AC_EventObject *>(o)->block;
    for (int i = 0; i < block.actionCount; i++)
        if (block.actions[i].trigger == AC_TRIGGER_DRAW) return 1;
    return 0;
}
