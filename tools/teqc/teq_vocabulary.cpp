// Words of the TEQ text form.
#include "teq_vocabulary.h"

#include <cstring>
#include <iterator>

namespace teqc {

namespace {

struct ClassBody {
    const char *name;
    Body body;
};

constexpr ClassBody kClassBodies[] = {
    {"XLineP", Body::Line},
    {"DefaultLineP", Body::Line},
    {"XRectangleP", Body::BlockFromD},
    {"DefaultRectangleP", Body::BlockFromD},
    {"XOvalP", Body::Block},
    {"DefaultOvalP", Body::Nothing},
    {"XPolygoneP", Body::Polygon},
    {"DefaultPolygoneP", Body::Points},
    {"DefaultPolylineP", Body::Points},
    {"DefaultTextP", Body::Text},
    {"IDegradeHP", Body::Nothing},
    {"IDegradeVP", Body::Nothing},
    {"XDegradeVP", Body::Block},
    {"IButtonP", Body::Block},
    {"TextFieldP", Body::Block},
    {"IBarGraphP", Body::Block},
    {"CircularGaugeP", Body::Block},
    {"EventP", Body::Block},
    {"IGraphicP", Body::Block},
    {"FileViewerP", Body::Block},
    {"DropDownListP", Body::Block},
};

// "opN" for a number without a name.
std::optional<int> numberedWord(const std::string &word, int max)
{
    if (word.size() < 3 || word.compare(0, 2, "op") != 0) return std::nullopt;
    int value = 0;
    for (size_t i = 2; i < word.size(); i++) {
        if (word[i] < '0' || word[i] > '9' || (i == 2 && word[i] == '0' && word.size() > 3)) return std::nullopt;
        value = value * 10 + (word[i] - '0');
        if (value > max) return std::nullopt;
    }
    return value;
}

template <size_t N> std::string wordOf(const char *const (&names)[N], int value, const char *prefix)
{
    if (value >= 0 && static_cast<size_t>(value) < N && names[value]) return names[value];
    return prefix + std::to_string(value);
}

template <size_t N>
std::optional<int> valueOf(const char *const (&names)[N], const std::string &word, const char *prefix, int max)
{
    for (size_t i = 0; i < N; i++)
        if (names[i] && word == names[i]) return static_cast<int>(i);
    std::optional<int> value;
    if (std::strcmp(prefix, "op") == 0) value = numberedWord(word, max);
    if (std::strcmp(prefix, "type") == 0 && word.size() > 4 && word.compare(0, 4, "type") == 0)
        value = numberedWord("op" + word.substr(4), max);
    if (value && static_cast<size_t>(*value) < N && names[*value]) return std::nullopt;
    return value;
}

} // namespace

Body bodyOf(const std::string &className)
{
    for (const ClassBody &c : kClassBodies)
        if (className == c.name) return c.body;
    return Body::Unknown;
}

std::string typeWord(int type) { return wordOf(kTypeNames, type, "type"); }
std::optional<int> typeFromWord(const std::string &word) { return valueOf(kTypeNames, word, "type", 255); }
std::string compareWord(int op) { return wordOf(kCompareNames, op, "op"); }
std::optional<int> compareFromWord(const std::string &word) { return valueOf(kCompareNames, word, "op", 255); }
std::string logicWord(int op) { return wordOf(kLogicNames, op, "op"); }
std::optional<int> logicFromWord(const std::string &word) { return valueOf(kLogicNames, word, "op", 255); }

} // namespace teqc
