// Digital outputs of the panel ("/dev/misc/gpio"), used by container writes,
// the back-light control and the data server.
#pragma once

// Sets output N of a name "gpio<N>" (N below 256) to the value "0" or "1".
// Answers 1 when the output was driven, 0 otherwise.
int write_gpio(const char *name, const char *value);
