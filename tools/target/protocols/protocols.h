// Protocol personalities of panterm-target. Besides the native CGI programs
// the simulator can play an ILR endpoint, an OPC XML-DA service, an S7 HTTP
// gateway, a WAGO controller, a TBox or a Modbus TCP device, chosen with --protocol; all of them
// serve the simulator's one table of values and simulated signals.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace httplib {
struct Request;
struct Response;
} // namespace httplib

// The simulator's values, as the protocols reach them.
struct SimValues {
    std::function<std::string(const std::string &)> read;                // a value by name (created as "0")
    std::function<bool(const std::string &, const std::string &)> write; // false for a read-only name
    std::function<std::vector<std::string>()> names;                     // every name with a value
};

// Takes a protocol option at argv[i] (moving i past its argument); false when
// the option is none of theirs. Exits with the usage on a bad argument.
bool SIM_protocolOption(int argc, char **argv, int &i);
// Usage lines of the protocol options.
const char *SIM_protocolUsage();
// Prepares the chosen protocol (its bindings, its memory); false with a
// message on standard error when it cannot run.
bool SIM_protocolStart(const SimValues &values);
// Answers a request that the chosen protocol serves; false when the native
// programs or the files answer it.
bool SIM_protocolAnswers(const httplib::Request &req, httplib::Response &res);
// Adjusts a reply that the files or the native programs gave (the Modbus
// device puts its port into the pages).
void SIM_protocolRewrite(const httplib::Request &req, httplib::Response &res);
// Prints the ports the protocol listens on besides the HTTP port, one line
// each, after the line of the HTTP port.
void SIM_protocolAnnounce();
// Whether GetSrvInfo.exe announces ILR.
bool SIM_offersIlr();
// Whether every connection is closed after its reply (the TBox pages are read
// to the end of the connection).
bool SIM_closesEachConnection();
// A request body for the log: text with "\r", "\n", "\t", "\\" and other
// control bytes escaped, or the bytes in hexadecimal when it is binary.
std::string SIM_bodyForLog(const std::string &body);
