// Image buttons, and the warning button that announces collected errors.
#pragma once

// Adds the warning button to a loaded page when the warn_btn setting enables it.
void IB_loadWarningButton();
