// Image buttons. Not built yet: no warning button is added to pages.
#include "objects/image_button.h"

void IB_loadWarningButton() {}
