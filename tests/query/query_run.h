// Running meldrove-query as a user runs it, from a shell: its output, its
// errors and its exit code.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "font_writer.h"

namespace querytest {

using testfonts::TempFolder;

struct Run {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string quoted(const std::string& arg) {
    std::string q = "'";
    for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string text(const std::filesystem::path& file) {
    const auto bytes = testfonts::readFile(file);
    return {bytes.begin(), bytes.end()};
}

// Runs the tool with `args` (and `environment`, "NAME=value" words put first).
inline Run query(const std::vector<std::string>& args,
                 const std::string& environment = "env -u WINDIR -u LOCALAPPDATA") {
    TempFolder capture;
    std::string command = environment + " " + quoted(MELDROVE_QUERY);
    for (const auto& arg : args) command += " " + quoted(arg);
    command += " >" + quoted((capture.path() / "out").string()) + " 2>" + quoted((capture.path() / "err").string());
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text(capture.path() / "out"), text(capture.path() / "err")};
}

inline std::vector<std::string> lines(const std::string& out) {
    std::vector<std::string> result;
    std::size_t start = 0;
    for (auto end = out.find('\n'); end != std::string::npos; start = end + 1, end = out.find('\n', start)) {
        result.push_back(out.substr(start, end - start));
    }
    return result;
}

}  // namespace querytest
