// Draws a TEQ picture the way the panel does (its reader, its objects, its
// graphics layer on the headless display) and writes one full redraw as PNG.
#pragma once
#include <string>
#include <vector>

namespace teqc {

// A headless display of the given size with the panel's window and graphics
// context, open for as long as the object lives. A snapshot file, when given,
// receives the screen as PNG at every flush that changed it.
class HeadlessDisplay {
public:
    HeadlessDisplay(int width, int height, const std::string &snapshot = "");
    ~HeadlessDisplay();
    HeadlessDisplay(const HeadlessDisplay &) = delete;
    HeadlessDisplay &operator=(const HeadlessDisplay &) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

struct NamedValue {
    std::string name, value;
};

// Values the picture is drawn with: containers, and process points as a
// target would have delivered them into the cache.
struct PresetValues {
    std::vector<NamedValue> containers, points;
};

// Loads the picture and draws it once completely into png. width and height
// 0: the picture's own page size. The containers start as for a new project;
// with points given, process points are read from the cache as with a
// target (points not given read empty). False with messages when the panel
// refuses the picture or the PNG cannot be written.
bool renderPicture(const std::string &bytes, const std::string &png, int width, int height, const PresetValues &values,
                   std::string &messages);

// One full redraw of the objects in the table, as the view manager does it.
void drawAllObjects();

} // namespace teqc
