// Stored images: the generated 1000-painter picture, every demo picture and
// the page of every object kind, drawn headless with fixed values, must give exactly the pixels of the PNG
// images under tests/draw/golden. Faster drawing code has to keep them.
// With PANTERM_STORE_IMAGES=DIR the renderings are written to DIR instead
// (to store new images after a deliberate change of the look).
#include "test_support.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <stb/stb_image.h>

#include "teq_render.h"
#include "teq_sample.h"
#include "teq_text.h"

using std::string;

namespace {

struct Pixels {
    int width = 0, height = 0;
    std::basic_string<unsigned char> rgba;
};

bool loadPng(const string &file, Pixels &out)
{
    int channels = 0;
    unsigned char *data = stbi_load(file.c_str(), &out.width, &out.height, &channels, 4);
    if (!data) return false;
    out.rgba.assign(data, static_cast<size_t>(out.width) * out.height * 4);
    stbi_image_free(data);
    return true;
}

string sourceOf(const string &relative)
{
    std::ifstream in(string(PANTERM_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Values of the demo plant as the simulator starts it, with the simulated
// signals at fixed points of their curves.
teqc::PresetValues demoValues()
{
    teqc::PresetValues v;
    v.points = {{"sim.ramp", "420"}, {"sim.sine", "37"}, {"Pump.Run", "1"},     {"Pump.Fault", "0"},
                {"T1.SP", "500"},    {"Pump.Mode", "1"}, {"T1.Name", "Tank T1"}};
    return v;
}

// The generated picture's repaints read ten colour containers, a level and
// twenty motors; about half of its conditions hold.
teqc::PresetValues sampleValues()
{
    teqc::PresetValues v;
    v.containers.push_back({"level", "500"});
    for (int i = 0; i < 10; i++)
        v.containers.push_back(
            {"fill" + std::to_string(i), std::to_string(25 * i) + ",128," + std::to_string(250 - 20 * i)});
    for (int i = 0; i < 20; i++) v.points.push_back({"Motor" + std::to_string(i), i % 3 ? "1" : "0"});
    return v;
}

class StoredImages : public TempDirTest {
protected:
    // Renders the picture and compares it with the stored image name.png.
    void check(const string &name, const string &teqBytes, int width, int height, const teqc::PresetValues &values)
    {
        const char *storeDir = std::getenv("PANTERM_STORE_IMAGES");
        string out = storeDir ? string(storeDir) + "/" + name + ".png" : path(name + ".png");
        string messages;
        ASSERT_TRUE(teqc::renderPicture(teqBytes, out, width, height, values, messages)) << messages;
        if (storeDir) return;
        Pixels stored, drawn;
        ASSERT_TRUE(loadPng(string(PANTERM_SOURCE_DIR) + "/tests/draw/golden/" + name + ".png", stored))
            << "no stored image for " << name;
        ASSERT_TRUE(loadPng(out, drawn));
        ASSERT_EQ(drawn.width, stored.width);
        ASSERT_EQ(drawn.height, stored.height);
        size_t differing = 0, first = 0;
        for (size_t i = 0; i < drawn.rgba.size(); i += 4)
            if (drawn.rgba.compare(i, 4, stored.rgba, i, 4) != 0 && differing++ == 0) first = i / 4;
        EXPECT_EQ(differing, 0u) << name << ": first differing pixel at " << first % drawn.width << ","
                                 << first / drawn.width;
    }
};

TEST_F(StoredImages, ThousandPainterPicture)
{
    check("sample1000", teqc::buildTeq(teqc::samplePicture(1000)), 800, 480, sampleValues());
}

TEST_F(StoredImages, DemoPictures)
{
    for (const char *name :
         {"frame", "Plant1", "Plant2", "Plant3", "Plant4", "Plant5", "Alarms", "History", "Config"}) {
        SCOPED_TRACE(name);
        string text = sourceOf(string("demo/pictures/") + name + ".teqt");
        ASSERT_FALSE(text.empty());
        check(name, teqc::buildTeq(text), 0, 0, demoValues());
    }
}

TEST_F(StoredImages, PageOfEveryObjectKind)
{
    teqc::PresetValues values;
    values.containers = {{"Lamp", "0,200,0"}, {"Notes", "Pump P1\tstarted\t07:02\nTank T1\thigh\t07:15\n"}};
    values.points = {{"sim.ramp", "420"}, {"sim.sine", "37"}, {"Tank.Setpoint", "55"}, {"Pump.Mode", "2"}};
    string text = sourceOf("bench/pictures/widgets.teqt");
    ASSERT_FALSE(text.empty());
    check("widgets", teqc::buildTeq(text), 0, 0, values);
}

} // namespace
