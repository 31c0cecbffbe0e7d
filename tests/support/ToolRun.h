// Runs the built tools (ombrix-db, ombrix-mask) through the system's shell, their output and
// errors caught in files (a started program may outlive a pipe under Wine), natively and
// under Wine alike.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/EncipherCopy.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace testsupport {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline std::string quote(const std::string& s) { return "\"" + s + "\""; }

// How many characters of arguments one tool run may carry: cmd.exe takes a command line of
// 8,191 characters in all, the tool's path and the output files included; a POSIX shell takes
// one command of up to 128 KiB.
#ifdef _WIN32
inline constexpr size_t kArgumentRoom = 6000;
#else
inline constexpr size_t kArgumentRoom = 100000;
#endif

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A path as the build names it, for this program: under Wine a Unix path is reached
// through Z:.
inline std::string buildPath(std::string p) {
#ifdef _WIN32
    if (!p.empty() && p[0] == '/') {
        p = "Z:" + p;
        for (char& c : p)
            if (c == '/') c = '\\';
    }
#endif
    return p;
}

// The tool's path; the test build always defines OMBRIX_DB_TOOL.
inline std::string toolPath() { return buildPath(OMBRIX_DB_TOOL); }

inline int exitCodeOf(int status) {
#ifdef _WIN32
    return status;
#else
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

// Runs `command` with its output and errors in files of `scratch`.
inline ToolRun runShell(const TempFolder& scratch, std::string command) {
    std::string out = scratch.file("out.txt"), err = scratch.file("err.txt");
    command += " >" + quote(out) + " 2>" + quote(err);
#ifdef _WIN32
    command = "\"" + command + "\"";   // cmd.exe strips one pair of outer quotes
#endif
    ToolRun r;
    r.exitCode = exitCodeOf(std::system(command.c_str()));
    r.out = slurp(out);
    r.err = slurp(err);
    // Error lines reach the console in text mode: CR LF on Windows.
    r.err.erase(std::remove(r.err.begin(), r.err.end(), '\r'), r.err.end());
    return r;
}

inline ToolRun runTool(const TempFolder& scratch, const std::string& args) {
    return runShell(scratch, quote(toolPath()) + " " + args);
}

// The tool started with `folder` as its current directory.
inline ToolRun runToolIn(const TempFolder& scratch, const TempFolder& folder, const std::string& args) {
#ifdef _WIN32
    const std::string cd = "cd /d ";
#else
    const std::string cd = "cd ";
#endif
    return runShell(scratch, cd + quote(folder.path().string()) + " && " + quote(toolPath()) + " " + args);
}

}  // namespace testsupport
