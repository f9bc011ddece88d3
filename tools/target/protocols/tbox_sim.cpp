// TBox of panterm-target: the value page (--tbox-page, "TBoxValues.html")
// lists every value as "name=value" lines after a comment line, and
// "TBoxWriteReturn.html?NAME=VALUE&$=" writes a value and answers the page's
// lines for it. Every connection is closed after its reply.
#include "sim_internal.h"

namespace {

std::string valuePage = "/TBoxValues.html";

} // namespace

bool TBXSIM_option(const std::string &arg, const std::string &value)
{
    if (arg != "--tbox-page") return true;
    valuePage = simAbsolutePath(value);
    return valuePage.size() > 1;
}

bool TBXSIM_answer(const httplib::Request &req, httplib::Response &res)
{
    if (req.path == valuePage) {
        std::string body = "# Panterm target simulator: TBox values (name=value)\r\n";
        for (const std::string &name : simValues().names()) body += name + "=" + simValues().read(name) + "\r\n";
        simReply(res, 200, body);
        return true;
    }
    if (req.path.size() < 21 || req.path.compare(req.path.size() - 21, 21, "/TBoxWriteReturn.html") != 0) return false;
    size_t mark = req.target.find('?');
    std::string query = mark == std::string::npos ? std::string() : req.target.substr(mark + 1);
    size_t equals = query.find('=');
    size_t amp = query.find('&');
    if (equals == std::string::npos || equals == 0) {
        simReply(res, 400, "# no value\r\n");
        return true;
    }
    std::string name = simPercentDecode(query.substr(0, equals), false);
    std::string value = simPercentDecode(
        query.substr(equals + 1, amp == std::string::npos ? std::string::npos : amp - equals - 1), true);
    if (!simValues().write(name, value)) simReply(res, 403, "# " + name + " is read-only\r\n");
    else simReply(res, 200, name + "=" + value + "\r\n");
    return true;
}
