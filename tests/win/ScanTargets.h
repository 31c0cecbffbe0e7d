// Test helper: copies of a do-nothing program started under the names a scan test needs
// (keylog.exe, KEYLOG.EXE, Explorer.exe ...). Each copy lies in a folder of its own, so
// that names differing only in letter case can run side by side; every copy still running
// is ended when the object goes.
#pragma once

#include <windows.h>

#include <deque>
#include <stdexcept>
#include <string>

#include "ProgramUnderTest.h"

namespace testing_support {

class ScanTargets {
public:
    // `root` is an existing folder, with its trailing backslash.
    explicit ScanTargets(std::string root) : root_(std::move(root)) {}

    Process& start(const std::string& name) {
        std::string folder = root_ + "target" + std::to_string(++serial_) + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        std::string path = folder + name;
        if (!CopyFileA(OMBRIX_SCAN_TARGET, path.c_str(), FALSE)) throw std::runtime_error("cannot copy to " + path);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::string commandLine = "\"" + path + "\"";
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

}  // namespace testing_support
