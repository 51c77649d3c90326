#include "Commands.h"

#include <clocale>
#include <iostream>

namespace zuta::cli {

std::string ExitStatusHelp() {
    return "Exit status:\n"
           "  0  success\n"
           "  1  an input file cannot be read or holds nothing usable\n"
           "  2  the command line is wrong\n"
           "  3  an output cannot be written (an existing file is left as it was)\n"
           "  4  the collection or replay yielded no sample; nothing was written\n"
           "  5  the collection ended early (corrupted data, lost link, taken over) or differs\n"
           "     from the simulated target's own count; what was collected is written\n"
           "  6  the target cannot be reached";
}

void Fail(const std::string& message, int status) {
    std::cerr << "zuta: " << message << '\n';
    throw CLI::RuntimeError(status);
}

} // namespace zuta::cli

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C");
    CLI::App app{"zuta: performance analysis of the modem target's real-time kernel"};
    app.require_subcommand(1);
    app.footer(zuta::cli::ExitStatusHelp());
    zuta::cli::RegisterReplayCommands(app);
    zuta::cli::RegisterFileCommands(app);
    zuta::cli::RegisterCollectCommands(app);
    zuta::cli::RegisterScreenshotCommands(app);
    zuta::cli::RegisterRenderCommand(app);
    zuta::cli::RegisterSessionsCommand(app);
    zuta::cli::RegisterCallsCommand(app);
    zuta::cli::RegisterCheckCommand(app);
    zuta::cli::RegisterDiffCommand(app);
    zuta::cli::RegisterTraceCommand(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::RuntimeError& e) {
        return e.get_exit_code();
    } catch (const CLI::ParseError& e) {
        // Every mistake on the command line, whatever CLI11 calls it, is status 2.
        app.exit(e);
        return zuta::cli::kExitUsage;
    }
    return zuta::cli::kExitOk;
}
