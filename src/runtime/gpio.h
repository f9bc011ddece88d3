// Digital outputs of the panel through the GPIO device "/dev/misc/gpio".
#pragma once

// Sets output pin to value: 0, or -1 when the device cannot be opened.
int set_gpio(int pin, int value);
// Reads output pin; 0 when the device cannot be opened.
int get_gpio(int pin);
// Sets the output named "gpio%d" (number below 256) to "0" or "1". Answers 1
// when the output was set, 0 for another name or value or a failed device.
int write_gpio(const char *name, const char *value);
