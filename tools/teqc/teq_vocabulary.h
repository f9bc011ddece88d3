// Words of the TEQ text form shared by the builder and the dumper: element
// keywords, source types, operators, and the body layout of each painter class.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "data/process_points.h"

namespace teqc {

// Elements that carry no payload or fixed skipped fields, by code.
struct ElementWord {
    int code;
    const char *word;
};

// Payload shapes of the skipped elements: p = packed pair, f = float,
// b = byte, s = short string.
struct SkippedElement {
    int code;
    const char *word;
    const char *fields;
};

inline constexpr ElementWord kPlainElements[] = {
    {0x09, "skip-09"},
    {0x0A, "skip-0A"},
    {0x0C, "skip-0C"},
    {0x15, "skip-15"},
};

inline constexpr SkippedElement kSkippedElements[] = {
    {0x07, "skip-07", "pp"},     {0x08, "skip-08", "pp"},   {0x0D, "skip-0D", "ps"},    {0x0E, "skip-0E", "pps"},
    {0x0F, "skip-0F", "pps"},    {0x11, "skip-11", "pps"},  {0x12, "skip-12", "pps"},   {0x13, "skip-13", "pps"},
    {0x14, "skip-14", "ppffpp"}, {0x18, "skip-18", "ppps"}, {0x19, "skip-19", "ppbbs"},
};

inline constexpr const char *kTypeNames[] = {
    "UNDEFINED", "PPO",         "HTMLTAG",           "STRING", "FILE", "CO",    "TEQINDEX", "URL",
    "SYMBOL",    "PASSWORDPPO", "PASSWORDCONTAINER", "COLOR",  "FONT", nullptr, "CGI",
};

inline constexpr const char *kCompareNames[] = {"always", "eq", "always2", "ne", "gt", "ge", "lt", "le"};
inline constexpr const char *kLogicNames[] = {"left", "and", "or", nullptr, "always"};

constexpr int kVersionD = 'd';

// What the body of a painter class holds, in file order.
enum class Body {
    Unknown,    // raw bytes, body-length of them
    Nothing,    // no bytes
    BlockFromD, // painter block from version "d" on
    Block,      // painter block in every version
    Line,       // painter block from "d" on, then start x and y (int32 each)
    Polygon,    // painter block, then points
    Points,     // points: int32 count, pairs
    Text,       // UTF text, two int32
};

Body bodyOf(const std::string &className);

std::string typeWord(int type);
std::optional<int> typeFromWord(const std::string &word);
std::string compareWord(int op);
std::optional<int> compareFromWord(const std::string &word);
std::string logicWord(int op);
std::optional<int> logicFromWord(const std::string &word);

} // namespace teqc
