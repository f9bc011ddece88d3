// Input events. Not built yet: there are no objects to focus.
#include "input/input_events.h"

void MH_selectObject(int, int) {}
int MH_mouseDown(int, int) { return 0; }
int MH_mouseUp(int, int) { return 0; }
void MH_pointObjectWithCoord(int, int) {}
void MH_selectObjectWithCoord(int, int) {}
int MH_entry() { return 0; }
