// The CPU usage graph, its session pie, the distribution charts and the dialogs pictured by
// `zuta render` and `zuta screenshot` through the host, from the example capture.
#include "support/TempFolder.h"

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/wait.h>

namespace zuta {
namespace {

const std::string kCapture = std::string(ZUTA_EXAMPLES_DIR) + "/modem-full.zcap";

QRgb Colour(int red, int green, int blue) {
    return qRgb(red, green, blue) & 0xffffffu;
}

int RunZuta(const std::string& arguments, const std::string& png) {
    const std::string command = std::string("'") + ZUTA_TOOL_PATH + "' " + arguments + " -o '" +
                                png + "' --host '" + ZUTA_HOST_PATH + "' 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(RenderCommandsTest, PicturesTheGraphsAndDialogsOfACapture) {
    test::TempFolder folder;
    const std::string png = (folder.path() / "picture.png").string();
    struct Pixel {
        QPoint at;
        QRgb colour;
    };
    struct Case {
        std::string arguments;
        int status;
        QSize size; // empty: any size
        std::vector<Pixel> pixels;
    };
    const Case cases[] = {
        // The chart's background and the timeline's grey under the rows of boxes.
        {"render cpu-graph '" + kCapture + "' --session 3",
         0,
         {810, 429},
         {{{300, 25}, Colour(20, 30, 70)}, {{400, 232}, Colour(200, 200, 200)}}},
        {"render cpu-graph '" + kCapture + "' --mask NoSuchTask", 1, {}, {}},
        // The client around the pie and the idle task's share, 57 % of session 3.
        {"render pie '" + kCapture + "' --session 3",
         0,
         {540, 722},
         {{{535, 5}, Colour(250, 250, 254)}, {{400, 300}, Colour(0, 51, 255)}}},
        {"render pie '" + kCapture + "' --session 217", 1, {}, {}},
        {"render distribution '" + kCapture + "' --statistic 1",
         0,
         {540, 722},
         // The client and the idle task's share of the context switches, 21 %.
         {{{535, 5}, Colour(250, 250, 254)}, {{400, 350}, Colour(102, 204, 51)}}},
        {"render distribution '" + kCapture + "' --statistic 6", 2, {}, {}},
        {"screenshot settings", 0, {}, {}},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(png);
        EXPECT_EQ(RunZuta(c.arguments, png), c.status) << c.arguments;
        const QImage picture(QString::fromStdString(png));
        EXPECT_EQ(picture.isNull(), c.status != 0) << c.arguments;
        if (picture.isNull())
            continue;
        if (!c.size.isEmpty()) {
            EXPECT_EQ(picture.size(), c.size) << c.arguments;
        }
        for (const Pixel& pixel : c.pixels)
            EXPECT_EQ(picture.pixel(pixel.at) & 0xffffffu, pixel.colour)
                << c.arguments << " at " << pixel.at.x() << "," << pixel.at.y();
    }
}

} // namespace
} // namespace zuta
