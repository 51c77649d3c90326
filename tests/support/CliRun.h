#pragma once

#include "TempFolder.h"

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace zuta::test {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs `program` with `args` in `folder`, with a settings file of its own there; what it wrote to
// standard output and error.
inline CliResult RunCli(const std::string& program, const TempFolder& folder,
                        const std::string& args) {
    const std::string errPath = folder / "stderr.txt";
    const std::string command = "cd '" + folder.path().string() + "' && '" + program + "' " + args +
                                " --settings '" + (folder / "settings.ini") + "' 2>'" + errPath +
                                "'";
    CliResult r;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer;
        std::size_t n;
        while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            r.out.append(buffer.data(), n);
        const int status = ::pclose(pipe);
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    r.err = ReadFileBytes(errPath);
    return r;
}

} // namespace zuta::test
