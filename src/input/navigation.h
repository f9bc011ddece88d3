// Focus navigation: the drawn navigation links of the page on screen.
#pragma once

// Empties the navigation list (its records live in heap1).
void NAV_clearAll();
