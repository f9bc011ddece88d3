// Draws a TEQ picture the way the panel does (its reader, its objects, its
// graphics layer on the headless display) and writes one full redraw as PNG.
#pragma once
#include <string>

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

// Loads the picture and draws it once completely into png. width and height
// 0: the picture's own page size. False with messages when the panel refuses
// the picture or the PNG cannot be written.
bool renderPicture(const std::string &bytes, const std::string &png, int width, int height, std::string &messages);

// One full redraw of the objects in the table, as the view manager does it.
void drawAllObjects();

} // namespace teqc
