// Trend logs of the target simulator: the simulated signals logged once a
// second in memory (the last hour at most, the first ten minutes made up from
// the signals' course before the start), answered through the target's trend
// CGI "cgi-bin/trend.exe": the trend list configuration, the information of
// each trend, points in blocks, and the log commands.
#pragma once
#include <string>

namespace trendsim {

// A signal's value at a time in seconds after the simulator's start (also
// before it); false for a name that is no signal.
using SignalAt = bool (*)(const std::string &name, double seconds, double *value);
// The seconds after the start that the signals show now.
using SignalClock = double (*)();

// Starts logging the signals sim.ramp, sim.sine, sim.square and sim.counter
// (trends 1 to 4).
void start(SignalAt signal, SignalClock clock);
// The answer to "cgi-bin/trend.exe?" + query: the HTTP status and the body.
int answer(const std::string &query, std::string &body);

} // namespace trendsim
