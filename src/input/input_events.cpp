// Input events. Not built yet: there are no objects to focus.
#include "input/input_events.h"

void MH_selectObject(int, int) {}
