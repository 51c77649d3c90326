#include "Commands.h"

#include <clocale>
#include <iostream>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C");
    CLI::App app{"zuta: performance analysis of the modem target's real-time kernel"};
    app.require_subcommand(1);
    zuta::cli::RegisterReplayCommands(app);
    zuta::cli::RegisterFileCommands(app);
    zuta::cli::RegisterCollectCommands(app);
    zuta::cli::RegisterScreenshotCommands(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    return 0;
}
