// The installer's test driver.
#include "tests/win/installer/Installation.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <stdexcept>

#include "tests/support/FolderTree.h"

namespace testing_support {

namespace {

// What a run of the program leaves in its folder: the user's, never the installer's.
const char* const kUserFiles[] = {"ombrix.ini", "wl.txt", "bl.txt", "pl.txt", "keyloggerstop.log"};

std::string withoutTrailingSlash(std::string folder) {
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder;
}

void collectFiles(const std::string& folder, const std::string& prefix, std::vector<std::string>& out) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            collectFiles(folder + name + "\\", prefix + name + "\\", out);
        else
            out.push_back(prefix + name);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

HKEY openRecord(REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kUninstallKey, 0, access, &key) != ERROR_SUCCESS) return nullptr;
    return key;
}

// COM is needed for shortcuts; the test thread keeps it for the whole run.
void comOnce() {
    static const HRESULT initialised = CoInitialize(nullptr);
    (void)initialised;
}

template <typename T>
struct ComPtr {
    T* p = nullptr;
    ~ComPtr() {
        if (p) p->Release();
    }
};

std::string installerPath() { return OMBRIX_INSTALLER; }

}  // namespace

bool uninstallRecordExists() {
    HKEY key = openRecord(KEY_READ);
    if (!key) return false;
    RegCloseKey(key);
    return true;
}

std::string uninstallString(const char* name) {
    HKEY key = openRecord(KEY_READ);
    if (!key) return "<none>";
    char value[1024] = "";
    DWORD type = 0, size = sizeof value - 1;
    LONG r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return "<none>";
    value[size] = '\0';
    return value;
}

long long uninstallDword(const char* name) {
    HKEY key = openRecord(KEY_READ);
    if (!key) return -1;
    DWORD type = 0, data = 0, size = sizeof data;
    LONG r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS && type == REG_DWORD ? static_cast<long long>(data) : -1;
}

void setUninstallDword(const char* name, DWORD value) {
    HKEY key = openRecord(KEY_SET_VALUE);
    if (!key) throw std::runtime_error("no uninstall record");
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

std::string shellFolder(int csidl) {
    char path[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, path)))
        throw std::runtime_error("no shell folder " + std::to_string(csidl));
    return std::string(path) + "\\";
}

Shortcut readShortcut(const std::string& path) {
    Shortcut s;
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return s;
    comOnce();
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link.p))) ||
        FAILED(link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p))))
        throw std::runtime_error("no shell link object");
    std::wstring wide(path.begin(), path.end());
    if (FAILED(file.p->Load(wide.c_str(), STGM_READ))) throw std::runtime_error("cannot read " + path);
    char buffer[MAX_PATH * 2] = "";
    s.exists = true;
    if (SUCCEEDED(link.p->GetPath(buffer, sizeof buffer, nullptr, SLGP_RAWPATH))) s.target = buffer;
    buffer[0] = '\0';
    if (SUCCEEDED(link.p->GetArguments(buffer, sizeof buffer))) s.arguments = buffer;
    buffer[0] = '\0';
    if (SUCCEEDED(link.p->GetWorkingDirectory(buffer, sizeof buffer))) s.workingFolder = buffer;
    return s;
}

bool hasSignature(const std::string& path) {
    std::string pe = fileText(path);
    auto u16 = [&](size_t at) { return at + 2 <= pe.size() ? uint32_t(uint8_t(pe[at])) | uint32_t(uint8_t(pe[at + 1])) << 8 : 0u; };
    auto u32 = [&](size_t at) { return at + 4 <= pe.size() ? u16(at) | u16(at + 2) << 16 : 0u; };
    if (pe.size() < 0x40 || pe.compare(0, 2, "MZ") != 0) return false;
    size_t header = u32(0x3C);
    if (pe.size() < header + 24 || pe.compare(header, 4, std::string("PE\0\0", 4)) != 0) return false;
    size_t optional = header + 24;
    // The data directories follow the optional header's fixed part: 96 bytes in PE32, 112 in
    // PE32+. The fifth is the certificate table.
    size_t directories = optional + (u16(optional) == 0x20b ? 112 : 96);
    return u32(directories + 4 * 8 + 4) != 0;
}

std::vector<std::string> filesBelow(const std::string& folder) {
    std::vector<std::string> files;
    collectFiles(folder, "", files);
    std::sort(files.begin(), files.end());
    return files;
}

DWORD runAndWait(const std::string& commandLine, DWORD timeoutMs) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        throw std::runtime_error("cannot run " + commandLine);
    Process process(pi);
    DWORD code = process.waitForExit(timeoutMs);
    return code;
}

namespace {

struct MessageBoxSearch {
    DWORD pid;
    std::vector<std::string> texts;

    static BOOL CALLBACK visit(HWND w, LPARAM lp) {
        auto* self = reinterpret_cast<MessageBoxSearch*>(lp);
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        char cls[64] = "";
        GetClassNameA(w, cls, sizeof cls);
        if (owner != self->pid || std::string(cls) != "#32770" || !IsWindowVisible(w) || windowText(w) != "Ombrix")
            return TRUE;
        // A message box has a static text with id 0xFFFF; the program's dialogs do not.
        if (HWND text = GetDlgItem(w, 0xFFFF)) self->texts.push_back(windowText(text));
        return TRUE;
    }
};

}  // namespace

std::vector<std::string> messageBoxTexts(DWORD pid) {
    MessageBoxSearch search{pid, {}};
    EnumWindows(&MessageBoxSearch::visit, reinterpret_cast<LPARAM>(&search));
    return search.texts;
}

DWORD endAsAtLogoff(HWND window, Process& process, DWORD timeoutMs) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    PostMessageA(window, WM_CLOSE, 0, 0);
    return process.waitForExit(timeoutMs);
}

Installation::Installation(Where where) {
    if (where == Where::DefaultFolder) {
        folder_ = shellFolder(CSIDL_LOCAL_APPDATA) + "Programs\\Ombrix\\";
    } else {
        static std::atomic<int> counter{0};
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder_ = std::string(temp) + "ombrix-install-" + std::to_string(GetCurrentProcessId()) + "-" +
                  std::to_string(++counter) + "\\";
    }
    // Nothing of an earlier run may decide this one: no record, no shortcuts, no folder.
    removeTree(folder_);
    RegDeleteKeyA(HKEY_CURRENT_USER, kUninstallKey);
    DeleteFileA((shellFolder(CSIDL_PROGRAMS) + "Ombrix.lnk").c_str());
    DeleteFileA((shellFolder(CSIDL_STARTUP) + "Ombrix.lnk").c_str());
}

Installation::~Installation() {
    // A test's own leftovers; the installer and uninstaller never kill, the tests may.
    for (HWND w : ProgramUnderTest::mainWindows()) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
        if (!h) continue;
        Process p(PROCESS_INFORMATION{h, nullptr, pid, 0});
        endAsAtLogoff(w, p, 5000);
    }
    processes_.clear();
    if (exists("uninstall.exe")) uninstall("/REMOVEUSERFILES");
    removeTree(folder_);
    RegDeleteKeyA(HKEY_CURRENT_USER, kUninstallKey);
    DeleteFileA((shellFolder(CSIDL_PROGRAMS) + "Ombrix.lnk").c_str());
    DeleteFileA((shellFolder(CSIDL_STARTUP) + "Ombrix.lnk").c_str());
}

bool Installation::exists(const std::string& name) const {
    return GetFileAttributesA(path(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void Installation::writeFile(const std::string& name, const std::string& content) const {
    std::ofstream out(path(name), std::ios::binary);
    out << content;
}

DWORD Installation::install(const std::string& args, bool chooseFolder) {
    // /D takes the rest of the line, unquoted, and must come last.
    std::string line = "\"" + installerPath() + "\" /S" + (args.empty() ? "" : " " + args);
    if (chooseFolder) line += " /D=" + withoutTrailingSlash(folder_);
    return runAndWait(line);
}

bool Installation::uninstall(const std::string& args) {
    if (runAndWait("\"" + path("uninstall.exe") + "\" /S" + (args.empty() ? "" : " " + args)) != 0) return false;
    return ProgramUnderTest::waitUntil([] { return !uninstallRecordExists(); }, 60000);
}

Process& Installation::launch(const std::string& exe, const std::string& args, const std::string& currentFolder) {
    std::string commandLine = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        currentFolder.empty() ? nullptr : currentFolder.c_str(), &si, &pi))
        throw std::runtime_error("cannot start " + commandLine);
    processes_.emplace_back(pi);
    return processes_.back();
}

Process& Installation::startAsShortcut(const std::string& link) {
    Shortcut s = readShortcut(link);
    if (!s.exists) throw std::runtime_error("no shortcut " + link);
    return launch(s.target, s.arguments, s.workingFolder);
}

Process& Installation::start(const std::string& args, const std::string& currentFolder) {
    return launch(path("ombrix.exe"), args, currentFolder);
}

HWND Installation::waitForMainWindow(DWORD timeoutMs) const {
    HWND found = nullptr;
    ProgramUnderTest::waitUntil(
        [&] {
            for (HWND w : ProgramUnderTest::mainWindows()) {
                DWORD pid = 0;
                GetWindowThreadProcessId(w, &pid);
                for (const Process& p : processes_)
                    if (p.pid() == pid) found = w;
            }
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

std::vector<std::string> Installation::shippedFiles() {
    std::vector<std::string> files = filesBelow(OMBRIX_PROGRAM_DIR "\\");
    std::erase_if(files, [](const std::string& f) {
        return std::any_of(std::begin(kUserFiles), std::end(kUserFiles),
                           [&](const char* user) { return lstrcmpiA(f.c_str(), user) == 0; });
    });
    files.push_back("uninstall.exe");
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace testing_support
