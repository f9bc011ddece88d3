// The TEQ text form: a readable, line-per-element form of TEQ picture files
// (see docs/teq-text-format.md). buildTeq turns text into TEQ bytes, dumpTeq
// turns TEQ bytes into text in its normal form, so that buildTeq(dumpTeq(F))
// gives F back byte for byte.
#pragma once
#include <stdexcept>
#include <string>

namespace teqc {

// A syntax or range error in the text form, with its position (1-based).
struct TextError : std::runtime_error {
    TextError(int line, int column, const std::string &message);
    int line, column;
};

// Compiles a whole text (starting with its "teq" version line).
std::string buildTeq(const std::string &source);
// Compiles elements only, for a file of the given editor version.
std::string buildElements(const std::string &source, int version);
// Prints a TEQ file (its first byte must be a version "c" .. "g") as text.
// Whatever cannot be shown as structure is shown as raw bytes.
std::string dumpTeq(const std::string &bytes);

// Nesting depth of logic nodes the text form accepts, as the reader does.
constexpr int kMaxConditionDepth = 64;

} // namespace teqc
