// OPC XML-DA service of panterm-target: a GET of the service path answers
// 200, a POST there answers the Read and Write requests of OPC XML-DA 1.0 with
// the "SOAP-ENV:" and "ns1:" prefixes. Items whose names begin "missing." are
// unknown to the service; --opc-faults N answers the first N requests with a
// SOAP fault.
#include <atomic>
#include <cstdlib>

#include "sim_internal.h"

namespace {

std::string servicePath = "/opcxmlda";
std::atomic<int> faultsLeft{0};

const char *const kEnvelope =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<SOAP-ENV:Envelope "
    "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
    "xmlns:ns1=\"http://opcfoundation.org/webservices/XMLDA/1.0/\"><SOAP-ENV:Body>";
const char *const kEnvelopeEnd = "</SOAP-ENV:Body></SOAP-ENV:Envelope>\r\n";

std::string escape(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '"') out += "&quot;";
        else out += c;
    }
    return out;
}

std::string unescape(const std::string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        size_t semi = text[i] == '&' ? text.find(';', i) : std::string::npos;
        if (semi == std::string::npos) {
            out += text[i];
            continue;
        }
        std::string entity = text.substr(i + 1, semi - i - 1);
        if (entity == "amp") out += '&';
        else if (entity == "lt") out += '<';
        else if (entity == "gt") out += '>';
        else if (entity == "quot") out += '"';
        else if (entity == "apos") out += '\'';
        else if (entity.size() > 1 && entity[0] == '#')
            out += static_cast<char>(entity[1] == 'x' ? std::strtol(entity.c_str() + 2, nullptr, 16)
                                                      : std::strtol(entity.c_str() + 1, nullptr, 10));
        else out += "&" + entity + ";";
        i = semi;
    }
    return out;
}

struct Item {
    std::string name;
    std::string value; // of a Write
};

std::string attribute(const std::string &tag, const std::string &name)
{
    size_t at = tag.find(" " + name + "=\"");
    if (at == std::string::npos) return {};
    at += name.size() + 3;
    return unescape(tag.substr(at, tag.find('"', at) - at));
}

std::vector<Item> itemsOf(const std::string &body)
{
    std::vector<Item> items;
    for (size_t at = body.find("<Items "); at != std::string::npos; at = body.find("<Items ", at + 1)) {
        size_t end = body.find('>', at);
        if (end == std::string::npos) break;
        Item item{attribute(body.substr(at, end - at), "ItemName"), {}};
        size_t value = body.find("<Value", end);
        size_t next = body.find("<Items ", end);
        if (value != std::string::npos && (next == std::string::npos || value < next)) {
            size_t start = body.find('>', value) + 1;
            item.value = unescape(body.substr(start, body.find("</Value>", start) - start));
        }
        items.push_back(item);
    }
    return items;
}

// The XML type a value is reported with.
const char *typeOf(const std::string &value)
{
    if (value == "true" || value == "false") return "boolean";
    char *end = nullptr;
    std::strtod(value.c_str(), &end);
    bool number = !value.empty() && end && *end == '\0';
    if (!number) return "string";
    return value.find_first_of(".eE") == std::string::npos ? "int" : "double";
}

bool unknown(const std::string &name) { return name.rfind("missing.", 0) == 0; }

std::string itemHead(const std::string &name)
{
    return "<ns1:Items xsi:type=\"ns1:ItemValue\" ItemPath=\"\" ItemName=\"" + escape(name) + "\"";
}

std::string error(const char *id, const char *text)
{
    return std::string("<ns1:Errors ID=\"") + id + "\"><ns1:Text>" + text + "</ns1:Text></ns1:Errors>";
}

std::string readResponse(const std::vector<Item> &items)
{
    std::string list;
    bool failed = false;
    for (const Item &item : items) {
        if (unknown(item.name)) {
            list += itemHead(item.name) + " ResultID=\"E_UNKNOWNITEMNAME\"/>";
            failed = true;
            continue;
        }
        std::string value = simValues().read(item.name);
        list += itemHead(item.name) + "><ns1:Value xsi:type=\"xsd:" + typeOf(value) + "\">" + escape(value) +
                "</ns1:Value><ns1:Quality QualityField=\"good\"/></ns1:Items>";
    }
    return std::string(kEnvelope) + "<ns1:ReadResponse><ns1:ReadResult ServerState=\"running\"/><ns1:RItemList>" +
           list + "</ns1:RItemList>" +
           (failed ? error("E_UNKNOWNITEMNAME", "The item is not known to the service.") : "") + "</ns1:ReadResponse>" +
           kEnvelopeEnd;
}

std::string writeResponse(const std::vector<Item> &items)
{
    std::string list;
    bool refused = false;
    for (const Item &item : items) {
        if (!unknown(item.name) && simValues().write(item.name, item.value)) {
            list += itemHead(item.name) + "/>";
            continue;
        }
        list += itemHead(item.name) + " ResultID=\"E_BADRIGHTS\"/>";
        refused = true;
    }
    return std::string(kEnvelope) + "<ns1:WriteResponse><ns1:WriteResult ServerState=\"running\"/><ns1:RItemList>" +
           list + "</ns1:RItemList>" + (refused ? error("E_BADRIGHTS", "The item is read-only.") : "") +
           "</ns1:WriteResponse>" + kEnvelopeEnd;
}

std::string fault()
{
    return std::string(kEnvelope) +
           "<SOAP-ENV:Fault><faultcode>SOAP-ENV:Server</faultcode><faultstring>Simulated fault</faultstring>"
           "</SOAP-ENV:Fault>" +
           kEnvelopeEnd;
}

bool endsWith(const std::string &text, const std::string &suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

bool OPCSIM_option(const std::string &arg, const std::string &value)
{
    if (arg == "--opc-path") servicePath = simAbsolutePath(value);
    if (arg != "--opc-faults") return true;
    char *end = nullptr;
    long n = std::strtol(value.c_str(), &end, 10);
    faultsLeft = static_cast<int>(n);
    return *end == '\0' && n >= 0 && n <= 1000000;
}

bool OPCSIM_answer(const httplib::Request &req, httplib::Response &res)
{
    if (req.path != servicePath) return false;
    if (req.method == "GET") {
        simReply(res, 200, "OPC XML-DA 1.0 service of the Panterm target simulator\r\n");
        return true;
    }
    if (faultsLeft.fetch_sub(1) > 0) {
        simReply(res, 500, fault(), "text/xml; charset=utf-8");
        return true;
    }
    std::string action = req.get_header_value("SOAPAction");
    std::vector<Item> items = itemsOf(req.body);
    if (endsWith(action, "/Read\"")) simReply(res, 200, readResponse(items), "text/xml; charset=utf-8");
    else if (endsWith(action, "/Write\"")) simReply(res, 200, writeResponse(items), "text/xml; charset=utf-8");
    else simReply(res, 500, fault(), "text/xml; charset=utf-8");
    return true;
}
