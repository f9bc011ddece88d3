// Image buttons. Not built yet: no warning button is added to pages.
#include "draw/image_button.h"

void IB_loadWarningButton() {}
