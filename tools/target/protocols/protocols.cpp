// Choice of the protocol personality, the bindings file and the helpers the
// personalities share.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "sim_internal.h"

namespace {

enum class Protocol { Native, Ilr, Opc, S7, Wago, TBox, Modbus };

Protocol protocol = Protocol::Native;
std::string bindingsFile;
SimValues values;
std::vector<SimBinding> bindings;

struct Named {
    const char *name;
    Protocol protocol;
};
const Named kProtocols[] = {{"native", Protocol::Native}, {"ilr", Protocol::Ilr},   {"opc", Protocol::Opc},
                            {"s7", Protocol::S7},         {"wago", Protocol::Wago}, {"tbox", Protocol::TBox},
                            {"modbus", Protocol::Modbus}};

[[noreturn]] void badOption(const std::string &arg)
{
    std::fprintf(stderr, "panterm-target: bad option %s\n%s", arg.c_str(), SIM_protocolUsage());
    std::exit(2);
}

bool chooseProtocol(const std::string &name)
{
    for (const Named &p : kProtocols)
        if (name == p.name) {
            protocol = p.protocol;
            return true;
        }
    return false;
}

// Fields split at ";", consecutive separators counting as one.
std::vector<std::string> splitFields(const std::string &text)
{
    std::vector<std::string> fields;
    size_t from = 0;
    while (from < text.size()) {
        size_t at = text.find(';', from);
        if (at == std::string::npos) at = text.size();
        if (at > from) fields.push_back(text.substr(from, at - from));
        from = at + 1;
    }
    return fields;
}

bool loadBindings()
{
    if (bindingsFile.empty()) return true;
    std::ifstream in(bindingsFile);
    if (!in) {
        std::fprintf(stderr, "panterm-target: cannot read %s\n", bindingsFile.c_str());
        return false;
    }
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("#!", 0) == 0) continue;
        std::vector<std::string> parts = splitFields(line);
        if (parts.size() < 2) continue;
        SimBinding b{parts[0], parts[1], std::vector<std::string>(parts.begin() + 2, parts.end())};
        if (!b.name.empty() && b.name.back() == ' ') b.name.pop_back();
        bindings.push_back(b);
    }
    return true;
}

} // namespace

const std::string &SimBinding::field(size_t i) const
{
    static const std::string none;
    return i < fields.size() ? fields[i] : none;
}

bool SIM_protocolOption(int argc, char **argv, int &i)
{
    std::string arg = argv[i];
    bool known = arg == "--protocol" || arg == "--tcr" || arg == "--opc-path" || arg == "--opc-faults" ||
                 arg == "--s7-errors" || arg == "--tbox-page" || arg == "--modbus-port";
    if (!known) return false;
    if (i + 1 >= argc) badOption(arg);
    std::string value = argv[++i];
    if (arg == "--protocol" && !chooseProtocol(value)) badOption(arg + " " + value);
    if (arg == "--tcr") bindingsFile = value;
    if (!OPCSIM_option(arg, value) || !S7SIM_option(arg, value) || !TBXSIM_option(arg, value) ||
        !MBSIM_option(arg, value))
        badOption(arg);
    return true;
}

const char *SIM_protocolUsage()
{
    return "  --protocol native|ilr|opc|s7|wago|tbox|modbus  the kind of controller to play (native)\n"
           "  --tcr FILE      the page's TCR file: where the signals sit for s7, wago and modbus\n"
           "  --opc-path PATH the OPC XML-DA service (opcxmlda); --opc-faults N: SOAP faults for N requests\n"
           "  --s7-errors N   answer the first N S7 jobs with an error class\n"
           "  --tbox-page PATH the TBox value page (TBoxValues.html)\n"
           "  --modbus-port N the Modbus TCP port (0, the default: a free one); printed as \"modbus port N\"\n"
           "                  after the HTTP port, and the pages served carry it as MODBUSPORT\n";
}

bool SIM_protocolStart(const SimValues &v)
{
    values = v;
    if (!loadBindings()) return false;
    if (protocol == Protocol::Modbus) return MBSIM_start();
    return protocol != Protocol::S7 || S7SIM_start();
}

void SIM_protocolAnnounce()
{
    if (protocol == Protocol::Modbus) MBSIM_announce();
}

void SIM_protocolRewrite(const httplib::Request &req, httplib::Response &res)
{
    if (protocol == Protocol::Modbus) MBSIM_rewritePage(req, res);
}

bool SIM_protocolAnswers(const httplib::Request &req, httplib::Response &res)
{
    switch (protocol) {
    case Protocol::Ilr: return ILRSIM_answer(req, res);
    case Protocol::Opc: return OPCSIM_answer(req, res);
    case Protocol::S7: return S7SIM_answer(req, res);
    case Protocol::Wago: return WGSIM_answer(req, res);
    case Protocol::TBox: return TBXSIM_answer(req, res);
    case Protocol::Native:
    case Protocol::Modbus: break;
    }
    return false;
}

bool SIM_offersIlr() { return protocol == Protocol::Ilr; }
bool SIM_closesEachConnection() { return protocol == Protocol::TBox; }

std::string SIM_bodyForLog(const std::string &body)
{
    static const char hex[] = "0123456789ABCDEF";
    bool binary = false;
    for (unsigned char c : body) binary = binary || (c < 32 && c != '\r' && c != '\n' && c != '\t') || c == 127;
    std::string out = binary ? "hex" : "text ";
    for (unsigned char c : body) {
        if (binary) {
            out += ' ';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c == '\\') out += "\\\\";
        else out += static_cast<char>(c);
    }
    return out;
}

const SimValues &simValues() { return values; }
const std::vector<SimBinding> &simBindings() { return bindings; }

const SimBinding *simBindingNamed(const std::string &name)
{
    for (const SimBinding &b : bindings)
        if (b.name == name) return &b;
    return nullptr;
}

long simFieldNumber(const SimBinding &b, size_t i, long fallback)
{
    const std::string &text = b.field(i);
    if (text.empty() || text == " ") return fallback;
    char *end = nullptr;
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    long value = std::strtol(text.c_str(), &end, hex ? 16 : 10);
    return end && *end == '\0' ? value : fallback;
}

std::string simPercentDecode(const std::string &text, bool plusIsBlank)
{
    auto hexValue = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
    };
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i] == '+' && plusIsBlank ? ' ' : text[i];
        }
    }
    return out;
}

std::string simAbsolutePath(const std::string &text)
{
    size_t first = text.find_first_not_of('/');
    std::string path = first == std::string::npos ? std::string() : text.substr(first);
    path.insert(path.begin(), '/');
    return path;
}

void simReply(httplib::Response &res, int status, const std::string &body, const char *type)
{
    res.status = status;
    res.set_content(body, type);
}
