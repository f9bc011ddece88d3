// A generated sample picture in the TEQ text form, for tests and benchmarks.
#pragma once
#include <string>

namespace teqc {

// An 800 x 480 page of n painters cycling through rectangles (with a logic
// condition on a repaint and an F-key name), ovals (recoloured by a repaint),
// lines, polygons and texts. The text is in normal form.
std::string samplePicture(int painters);

} // namespace teqc
