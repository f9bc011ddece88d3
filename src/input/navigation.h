// Focus navigation: the drawn navigation links of the page on screen.
#pragma once

// Empties the navigation list (its records live in heap1).
void NAV_clearAll();

struct LN_Line;

// Turns a line marked as a navigation link into a link and removes the line
// from the page; answers the direction bits found, 0 for an ordinary line.
int NAV_isNavigationObject(LN_Line *line);
