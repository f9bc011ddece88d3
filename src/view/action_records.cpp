// Action records: whether an object's actions disable it.
#include "view/action_records.h"

#include "view/conditions.h"
#include "view/object_table.h"
#include "view/painter_block.h"

int AC_isDisabled(const OB_Object *object, const MP_Action *actions, int count)
{
    if (object && !OB_isEnabled(object->id)) return 1;
    for (int i = 0; actions && i < count; i++)
        if ((actions[i].code == AC_DISABLE || actions[i].code == AC_DISABLE_20) &&
            CO_evaluateLogicCondition(&actions[i].condition))
            return 1;
    return 0;
}
