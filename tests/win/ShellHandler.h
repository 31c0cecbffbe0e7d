// A recording handler that the shell runs for a protocol or a file type, put in place for a
// test's time: what the program asks the shell to open lands in "shellcalls.txt".
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "tests/win/ProgramUnderTest.h"

namespace testing_support {

// Sets the default value of a key under HKEY_CLASSES_ROOT and puts back what was there at
// the end: the old value, or no key at all from the first one that was missing. Wine's shell
// reads the machine's classes only (a handler under the user's Software\Classes is not
// looked at), so the test's handler goes there for the test's time.
class ClassesValue {
public:
    ClassesValue(const std::string& path, const std::string& value) : path_(path) {
        std::string sofar;
        size_t from = 0;
        while (created_.empty()) {
            size_t cut = path.find('\\', from);
            sofar = path.substr(0, cut);
            HKEY probe;
            if (RegOpenKeyExA(HKEY_CLASSES_ROOT, sofar.c_str(), 0, KEY_READ, &probe) == ERROR_SUCCESS)
                RegCloseKey(probe);
            else
                created_ = sofar;
            if (cut == std::string::npos) break;
            from = cut + 1;
        }
        HKEY key;
        if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            throw std::runtime_error("cannot create HKCR\\" + path);
        char old[1024];
        DWORD size = sizeof old, type = 0;
        if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(old), &size) == ERROR_SUCCESS &&
            type == REG_SZ)
            old_ = std::string(old, size ? size - 1 : 0), hadValue_ = true;
        RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
        RegCloseKey(key);
    }
    ~ClassesValue() {
        if (!created_.empty()) {
            SHDeleteKeyA(HKEY_CLASSES_ROOT, created_.c_str());
            return;
        }
        HKEY key;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path_.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
        if (hadValue_)
            RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(old_.c_str()),
                           static_cast<DWORD>(old_.size() + 1));
        else
            RegDeleteValueA(key, nullptr);
        RegCloseKey(key);
    }
    ClassesValue(const ClassesValue&) = delete;
    ClassesValue& operator=(const ClassesValue&) = delete;

private:
    std::string path_;
    std::string created_;  // the first key of the path that this object made, if any
    std::string old_;
    bool hadValue_ = false;
};

// Makes the recorder the handler for a protocol such as "https", or for a file type and,
// when `extension` is given, that extension; puts the old handler back at the end.
class ShellHandler {
public:
    ShellHandler(const ProgramUnderTest& program, const std::string& classKey, const std::string& extension = "")
        : recorder_(program.path("shell_recorder.exe")), calls_(program.path("shellcalls.txt")) {
        CopyFileA(OMBRIX_SHELL_RECORDER, recorder_.c_str(), FALSE);
        command_.emplace(classKey + "\\shell\\open\\command", "\"" + recorder_ + "\" \"%1\"");
        if (!extension.empty()) extension_.emplace(extension, classKey);
    }

    // The command lines the handler was run with, in UTF-8, one a line.
    std::string calls() const { return fileText(calls_); }
    bool waitForCall() const {
        return ProgramUnderTest::waitUntil([&] { return !calls().empty(); }, 20000);
    }

private:
    std::string recorder_;
    std::string calls_;
    std::optional<ClassesValue> command_;
    std::optional<ClassesValue> extension_;
};

}  // namespace testing_support
