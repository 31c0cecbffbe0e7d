// Test helper: copies of a do-nothing program started under the names a scan test needs
// (keylog.exe, KEYLOG.EXE, Explorer.exe ...). Each copy lies in a folder of its own, so
// that names differing only in letter case can run side by side; every copy still running
// is ended when the object goes.
#pragma once

#include <windows.h>

#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/win/ProgramUnderTest.h"

namespace testing_support {

class ScanTargets {
public:
    // `root` is an existing folder, with its trailing backslash.
    explicit ScanTargets(std::string root) : root_(std::move(root)) {}

    // `args` follow the quoted path on the command line.
    Process& start(const std::string& name, const std::string& args = "") {
        std::string folder = root_ + "target" + std::to_string(++serial_) + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        std::string path = folder + name;
        if (!CopyFileA(OMBRIX_SCAN_TARGET, path.c_str(), FALSE)) throw std::runtime_error("cannot copy to " + path);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::string commandLine = "\"" + path + "\"" + (args.empty() ? "" : " " + args);
        if (!CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si,
                            &pi))
            throw std::runtime_error("cannot start " + path);
        processes_.emplace_back(pi);
        return processes_.back();
    }

    // Whether the copy ended with exit code 0 within the time.
    static bool endedWithZero(const Process& p, DWORD timeoutMs = 5000) { return p.waitForExit(timeoutMs) == 0; }

private:
    std::string root_;
    std::deque<Process> processes_;
    int serial_ = 0;
};

// The messages of an operation log's text, each checked against the one expected at its
// place: a line that ends with a blank and the expected message gives that message (what
// comes before is the date-time text); any other line comes back whole, marked unexpected.
inline std::vector<std::string> logMessages(const std::string& text, const std::vector<std::string>& expected) {
    std::vector<std::string> messages;
    for (size_t pos = 0, i = 0; pos < text.size(); ++i) {
        size_t end = text.find("\r\n", pos);
        std::string line = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? text.size() : end + 2;
        const std::string want = i < expected.size() ? expected[i] : std::string();
        bool matches = !want.empty() && line.size() > want.size() + 1 &&
                       line.compare(line.size() - want.size(), want.size(), want) == 0 &&
                       line[line.size() - want.size() - 1] == ' ';
        messages.push_back(matches ? want : "<unexpected> " + line);
    }
    return messages;
}

}  // namespace testing_support
