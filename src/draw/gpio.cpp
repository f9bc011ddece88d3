// Digital outputs. The device access is not wired up yet: no output is driven.
#include "draw/gpio.h"

int write_gpio(const char *, const char *) { return 0; }
