// Focus navigation. No navigation links are kept yet.
#include "input/navigation.h"

void NAV_clearAll() {}
