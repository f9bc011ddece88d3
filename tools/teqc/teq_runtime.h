// Runs the panel's own TEQ reader on the bytes of a picture file, as the
// panel would load it from its RAM disk, and collects what it logged.
#pragma once
#include <string>

namespace teqc {

struct ReaderResult {
    bool accepted;        // the reader answered 0
    size_t offset;        // bytes it had read when it stopped
    int objects;          // objects in the object table afterwards
    int dropped;          // painters beyond what the object table holds
    std::string messages; // what the reader logged
};

// Prepares settings, heaps and RAM disk on the first call; every call starts
// with an empty object table and an empty heap1.
ReaderResult runReader(const std::string &bytes);

} // namespace teqc
