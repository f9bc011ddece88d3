// The simulator's alarm CGI (alarm.exe): current alarms and a history, raised
// and cleared by rules on the simulator's values and simulated signals, with
// acknowledge and delete, and the alarm texts read as "PDP,,TEXT%u,s".
#pragma once
#include <string>

// Reads a value of the simulator by name.
typedef std::string (*ASIM_ValueReader)(const std::string &name);

// Takes the alarm switches: 1 when argv[i] was one (i moves past its value),
// 0 when it is none, -1 when its value is bad.
int ASIM_option(const std::string &arg, int argc, char **argv, int &i);
// Loads the rules (false with a message when the file cannot be read) and
// starts watching them every 100 ms.
bool ASIM_start(ASIM_ValueReader reader);
// The answer to a query of alarm.exe.
std::string ASIM_answer(const std::string &query);
// The text of alarm N + 1 for the name "PDP,,TEXT<N>,s"; false for other names.
bool ASIM_text(const std::string &name, std::string &text);
// The usage lines of the alarm switches.
const char *ASIM_usage();
