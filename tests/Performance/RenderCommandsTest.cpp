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
    struct Case {
        std::string arguments;
        int status;
        QPoint at; // a pixel of the picture and its colour; (0, 0): none checked
        QRgb colour;
    };
    const Case cases[] = {
        // The timeline's grey under the rows of boxes.
        {"render cpu-graph '" + kCapture + "' --session 3", 0, {400, 232}, Colour(200, 200, 200)},
        {"render cpu-graph '" + kCapture + "' --mask NoSuchTask", 1, {}, 0},
        // The idle task's share, 57 % of session 3.
        {"render pie '" + kCapture + "' --session 3", 0, {400, 300}, Colour(0, 51, 255)},
        // The idle task's share of the context switches, 21 %.
        {"render distribution '" + kCapture + "' --statistic 1",
         0,
         {400, 350},
         Colour(102, 204, 51)},
        {"render distribution '" + kCapture + "' --statistic 6", 2, {}, 0},
        {"screenshot settings", 0, {}, 0},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(png);
        EXPECT_EQ(RunZuta(c.arguments, png), c.status) << c.arguments;
        const QImage picture(QString::fromStdString(png));
        EXPECT_EQ(picture.isNull(), c.status != 0) << c.arguments;
        if (!c.at.isNull() && !picture.isNull()) {
            EXPECT_EQ(picture.pixel(c.at) & 0xffffffu, c.colour) << c.arguments;
        }
    }
}

} // namespace
} // namespace zuta
