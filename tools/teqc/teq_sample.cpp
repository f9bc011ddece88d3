// Sample pictures for tests and benchmarks.
#include "teq_sample.h"

#include <sstream>

namespace teqc {

std::string samplePicture(int n)
{
    std::ostringstream text;
    text << "teq g\npage-size 800,480\nbackground 255,255,255\n";
    for (int i = 0; i < n; i++) {
        int x = (i * 37) % 760, y = (i * 53) % 440;
        text << "fill-colour " << i % 256 << "," << (i * 7) % 256 << "," << (i * 13) % 256 << "\n";
        switch (i % 5) {
        case 0:
            text << "painter \"XRectangleP\" at " << x << "," << y << " size 40,30 plc 0 {\n"
                 << "  block \"XRectangleP\" id " << i << " {\n"
                 << "    repaint 41 CO \"fill" << i % 10 << "\" {\n"
                 << "      when and {\n"
                 << "        compare gt CO \"level\" STRING \"" << i << "\"\n"
                 << "        compare ne PPO \"Motor" << i % 20 << "\" STRING \"0\"\n"
                 << "      }\n"
                 << "    }\n"
                 << "    fkey \"FKEY_" << i % 10 << "\"\n"
                 << "  }\n}\n";
            break;
        case 1:
            text << "painter \"XOvalP\" at " << x << "," << y << " size 30,30 plc 0 {\n"
                 << "  block \"XOvalP\" id " << i << " {\n"
                 << "    repaint 39 STRING \"1,2,3\" {\n"
                 << "      when compare eq STRING \"a\" STRING \"a\"\n"
                 << "    }\n"
                 << "  }\n}\n";
            break;
        case 2:
            text << "painter \"XLineP\" at " << x << "," << y << " size 30,20 plc 0 {\n"
                 << "  block \"XLineP\" id " << i << "\n"
                 << "  start " << x << " " << y << "\n}\n";
            break;
        case 3:
            text << "painter \"XPolygoneP\" at " << x << "," << y << " size 30,30 plc 0 {\n"
                 << "  block \"XPolygoneP\" id " << i << "\n"
                 << "  points " << x << "," << y + 30 << " " << x + 15 << "," << y << " " << x + 30 << "," << y + 30
                 << "\n}\n";
            break;
        default:
            text << "painter \"DefaultTextP\" at " << x << "," << y << " size 60,20 plc 0 {\n"
                 << "  text \"Text " << i << "\" 0 0\n}\n";
            break;
        }
    }
    return text.str();
}

} // namespace teqc
