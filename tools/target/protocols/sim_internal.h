// What the protocol personalities of panterm-target share: the values, the
// bindings of the page's text-conversion table (which signal sits at which
// controller address) and small text helpers.
#pragma once
#include <httplib.h>

#include <string>
#include <vector>

#include "protocols.h"

// One line of the bindings file (the TCR file of the page): the symbol the
// page uses, the name the controller knows, and the parameter fields (";"
// separated, empty fields dropped, a single blank for an absent one).
struct SimBinding {
    std::string symbol;
    std::string name;
    std::vector<std::string> fields;
    const std::string &field(size_t i) const;
};

const SimValues &simValues();
const std::vector<SimBinding> &simBindings();
// The binding whose controller name is name, or null.
const SimBinding *simBindingNamed(const std::string &name);
// Integer of a field ("0x" for hexadecimal); fallback when it is none.
long simFieldNumber(const SimBinding &b, size_t i, long fallback);
std::string simPercentDecode(const std::string &text, bool plusIsBlank);
// A path of the request line: "/" and the text without its leading slashes.
std::string simAbsolutePath(const std::string &text);
void simReply(httplib::Response &res, int status, const std::string &body, const char *type = "text/plain");

// The personalities, each in its file.
bool ILRSIM_answer(const httplib::Request &req, httplib::Response &res);
bool OPCSIM_answer(const httplib::Request &req, httplib::Response &res);
// Takes --opc-path and --opc-faults; false for a bad value.
bool OPCSIM_option(const std::string &arg, const std::string &value);
// Takes the signals' addresses from the bindings; false when one is unusable.
bool S7SIM_start();
bool S7SIM_answer(const httplib::Request &req, httplib::Response &res);
// Takes --s7-errors; false for a bad value.
bool S7SIM_option(const std::string &arg, const std::string &value);
bool WGSIM_answer(const httplib::Request &req, httplib::Response &res);
bool TBXSIM_answer(const httplib::Request &req, httplib::Response &res);
// Takes --tbox-page; false for a bad value.
bool TBXSIM_option(const std::string &arg, const std::string &value);
// Takes --modbus-port; false for a bad value.
bool MBSIM_option(const std::string &arg, const std::string &value);
// Places the signals from the bindings and starts the Modbus server; false
// when a binding is no Modbus point or the port cannot be had.
bool MBSIM_start();
// Prints "modbus port N".
void MBSIM_announce();
// A page's MODBUSPORT parameter becomes the port the server listens on.
void MBSIM_rewritePage(const httplib::Request &req, httplib::Response &res);
