// ILR endpoint of panterm-target: "cgi-bin/ILRReadValues.exe" answers the
// request body with each item's value inserted after its name, the way the
// panel's own server answers; GetSrvInfo.exe announces the protocol.
#include "sim_internal.h"

namespace {

std::string decodeName(std::string name)
{
    const std::pair<const char *, const char *> entities[] = {{"&gt;", ">"}, {"&lt;", "<"}, {"&amp;", "&"}};
    for (const auto &e : entities)
        for (size_t at = name.find(e.first); at != std::string::npos; at = name.find(e.first, at + 1))
            name.replace(at, std::string(e.first).size(), e.second);
    return name;
}

// The body echoed up to "</body>", with "<v>value</v>" after every "</n>".
std::string answer(const std::string &request)
{
    std::string out;
    size_t from = 0;
    for (;;) {
        size_t open = request.find("<n>", from);
        size_t close = open == std::string::npos ? std::string::npos : request.find("</n>", open);
        if (close == std::string::npos) break;
        std::string name = decodeName(request.substr(open + 3, close - open - 3));
        out += request.substr(from, close + 4 - from);
        if (!name.empty()) out += "<v>" + simValues().read(name) + "</v>";
        from = close + 4;
    }
    size_t end = request.find("</body>", from);
    out += request.substr(from, end == std::string::npos ? std::string::npos : end + 7 - from);
    return out;
}

} // namespace

bool ILRSIM_answer(const httplib::Request &req, httplib::Response &res)
{
    if (req.method != "POST" || req.path.size() < 25 ||
        req.path.compare(req.path.size() - 25, 25, "cgi-bin/ILRReadValues.exe"))
        return false;
    simReply(res, 200, answer(req.body), "text/xml");
    return true;
}
