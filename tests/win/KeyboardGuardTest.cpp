// The keyboard-protection library itself, loaded into the test as the program loads it:
// its exports, its report to the window in the shared block, and what a start and an end
// leave behind (threads, handles, memory, the library's own hold on itself).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <functional>
#include <string>
#include <utility>

#include "keyguard/win/PassListFile.h"
#include "tests/support/EncipherCopy.h"
#include "tests/support/ProcessFigures.h"
#include "tests/win/ProgramUnderTest.h"

using testing_support::ProcessFigures;
using testing_support::ProgramUnderTest;

namespace {

constexpr const char* kLibraryPath = OMBRIX_PROGRAM_DIR "\\zarurarevidev.dll";

using StartHookProc = int(WINAPI*)(const char*, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD);
using EndHookProc = int(WINAPI*)();

// The program's side of the contract: a window, the shared block naming it, the library.
class LoadedLibrary {
public:
    LoadedLibrary() {
        window_ = CreateWindowExA(0, "STATIC", "guard test", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4, "zarurarEvidev");
        if (mapping_) {
            if (void* view = MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, 0)) {
                const auto handle = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(window_));
                CopyMemory(view, &handle, 4);
                UnmapViewOfFile(view);
            }
        }
        library_ = LoadLibraryA(kLibraryPath);
        if (library_) {
            start_ = reinterpret_cast<StartHookProc>(reinterpret_cast<void*>(GetProcAddress(library_, "StartHook")));
            end_ = reinterpret_cast<EndHookProc>(reinterpret_cast<void*>(GetProcAddress(library_, "EndHook")));
        }
        stateMessage_ = RegisterWindowMessageA("ZarurarevidevHookState");
    }
    ~LoadedLibrary() {
        if (library_) FreeLibrary(library_);
        if (mapping_) CloseHandle(mapping_);
        if (window_) DestroyWindow(window_);
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    bool ready() const { return window_ && mapping_ && start_ && end_; }
    int start() const { return start_("Z:\\some folder\\", 1, 1, 1, 1, 1, 1, 1); }
    int end() const { return end_(); }
    void unload() {
        FreeLibrary(library_);
        library_ = nullptr;
    }

    // The library's reports that have reached the window, as "running:session" lines.
    std::string reports() {
        std::string text;
        MSG msg;
        while (PeekMessageA(&msg, window_, stateMessage_, stateMessage_, PM_REMOVE))
            text += std::to_string(msg.wParam) + ":" + std::to_string(static_cast<DWORD>(msg.lParam)) + "\n";
        return text;
    }

private:
    HWND window_ = nullptr;
    HANDLE mapping_ = nullptr;
    HMODULE library_ = nullptr;
    StartHookProc start_ = nullptr;
    EndHookProc end_ = nullptr;
    UINT stateMessage_ = 0;
};

}  // namespace

TEST(KeyboardGuardTest, ExportsExactlyItsTwoUndecoratedFunctions) {
    HMODULE library = LoadLibraryExA(kLibraryPath, nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_TRUE(library) << kLibraryPath;
    const auto* base = reinterpret_cast<const unsigned char*>(library);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(dir.VirtualAddress, 0u);
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::string all;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) all += std::string(reinterpret_cast<const char*>(base + names[i])) + ";";
    EXPECT_EQ(all, "EndHook;StartHook;");
    FreeLibrary(library);
}

TEST(KeyboardGuardTest, StartReportsARunningHookWithItsOwnTokenAndEndLeavesNoThread) {
    const unsigned before = ProcessFigures::threads();
    LoadedLibrary library;
    ASSERT_TRUE(library.ready());
    std::set<DWORD> tokens;
    for (int session = 1; session <= 3; ++session) {
        const auto token = static_cast<DWORD>(library.start());
        ASSERT_NE(token, 0u) << "session " << session;
        EXPECT_TRUE(tokens.insert(token).second) << "a start's token is new";
        EXPECT_GT(token, 20u) << "not a count of starts";
        EXPECT_EQ(ProcessFigures::threads(), before + 2) << "one hook thread and its watcher";
        std::string reports;
        ASSERT_TRUE(ProgramUnderTest::waitUntil([&] { return !(reports += library.reports()).empty(); }, 5000));
        EXPECT_EQ(reports, "1:" + std::to_string(token) + "\n");
        EXPECT_EQ(library.end(), 1);
        EXPECT_EQ(ProcessFigures::threads(), before) << "both threads are gone when EndHook returns";
    }
    // Its hook thread held the library while it ran; with that hold given back, the
    // caller's own unloading takes it out.
    library.unload();
    EXPECT_EQ(GetModuleHandleA("zarurarevidev.dll"), nullptr);
}

TEST(KeyboardGuardTest, WithoutTheSharedBlockItRunsAndTellsNobody) {
    HMODULE library = LoadLibraryA(kLibraryPath);
    ASSERT_TRUE(library);
    auto start = reinterpret_cast<StartHookProc>(reinterpret_cast<void*>(GetProcAddress(library, "StartHook")));
    auto end = reinterpret_cast<EndHookProc>(reinterpret_cast<void*>(GetProcAddress(library, "EndHook")));
    ASSERT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, "zarurarEvidev"), nullptr) << "a block left by another test";
    EXPECT_NE(start(nullptr, 1, 1, 1, 1, 1, 1, 1), 0);
    EXPECT_EQ(end(), 1);
    FreeLibrary(library);
}

TEST(KeyboardGuardTest, AThousandStartsAndEndsLeaveThreadsHandlesAndMemoryFlat) {
    LoadedLibrary library;
    ASSERT_TRUE(library.ready());
    const unsigned threads = ProcessFigures::threads();
    ProcessFigures warm;
    for (int i = 0; i < 1000; ++i) {
        ASSERT_NE(library.start(), 0) << "start " << i;
        ASSERT_EQ(library.end(), 1) << "end " << i;
        library.reports();
        if (i == 99) warm = ProcessFigures::now();
    }
    const ProcessFigures last = ProcessFigures::now();
    std::printf("after 100 and 1000 starts and ends: handles %lu, %lu; private bytes %llu, %llu; threads %u, %u\n",
                warm.handles, last.handles, warm.privateBytes, last.privateBytes, threads, ProcessFigures::threads());
    EXPECT_EQ(ProcessFigures::threads(), threads);
    EXPECT_GT(last.handles, 0u) << "no handle count";
    EXPECT_LE(last.handles, warm.handles + 2) << "handles";
    EXPECT_LE(last.privateBytes, warm.privateBytes + 256 * 1024) << "private bytes";
}

// The program replaces the list (a file beside it, moved over it) the moment the library lets
// go of the old one, which it has just read because the folder changed: that replacement is
// seen, and read next.
TEST(KeyboardGuardTest, AListReplacedJustAfterTheLibraryReadTheOldOneIsReadNext) {
    const testsupport::TempFolder folder;
    const std::string path = folder.file("pl.txt"), first = folder.file("first.tmp"), second = folder.file("second.tmp");
    testsupport::writeFileText(first, "first.exe\r\n");
    testsupport::writeFileText(second, "second.exe\r\n");
    class ReplacedAfterRead : public keyguard::PassListFile {
    public:
        mutable std::function<void()> then;
        void readInto(keyguard::PassList& list) const override {
            PassListFile::readInto(list);
            if (then) std::exchange(then, nullptr)();
        }
    } file;
    ASSERT_TRUE(file.watch((folder.path().string() + "\\").c_str()));
    const auto same = [](std::string_view a, std::string_view b) { return a == b; };
    keyguard::PassList list;

    ASSERT_TRUE(MoveFileExA(first.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING));
    ASSERT_EQ(WaitForSingleObject(file.changes(), 10000), WAIT_OBJECT_0);
    file.then = [&] { EXPECT_TRUE(MoveFileExA(second.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)); };
    file.takeChange(list);
    EXPECT_TRUE(list.contains("first.exe", same));
    ASSERT_EQ(WaitForSingleObject(file.changes(), 10000), WAIT_OBJECT_0) << "the replacement went unseen";
    file.takeChange(list);
    EXPECT_TRUE(list.contains("second.exe", same));
    EXPECT_FALSE(list.contains("first.exe", same));
}
