// The shared Win32 layer: the error box convention and the picture decoder.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "tests/win/ProgramUnderTest.h"
#include "ui/JpegImage.h"
#include "win32/Application.h"
#include "win32/Window.h"

TEST(ErrorBoxTest, AddsAFullStopOnlyAfterACharacterThatSortsAfterIt) {
    EXPECT_EQ(win::withFullStop("Error loading DLL"), "Error loading DLL.");
    EXPECT_EQ(win::withFullStop("Done."), "Done.");
    EXPECT_EQ(win::withFullStop("Oops!"), "Oops!");
    EXPECT_EQ(win::withFullStop("(x)"), "(x)");
    EXPECT_EQ(win::withFullStop("1/2"), "1/2.");
    EXPECT_EQ(win::withFullStop("caf\xe9"), "caf\xe9.");
    EXPECT_EQ(win::withFullStop(""), "");
}

namespace {

class Throwing : public win::Window {
public:
    Throwing() {
        registerClass("OmbrixTestThrowing");
        create("OmbrixTestThrowing", "", 0, WS_POPUP, 0, 0, 10, 10);
    }

protected:
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_APP) throw std::runtime_error("Cannot find the DLL functions");
        return Window::handle(msg, wp, lp);
    }
};

}  // namespace

TEST(ErrorBoxTest, AnErrorLeavingAHandlerIsShownInTheStandardBoxAndTheProgramGoesOn) {
    win::Application::setTitle("Ombrix");
    Throwing window;
    std::atomic<bool> done{false};
    std::string text, caption;
    std::thread dismisser([&] {
        // Shown once it is filled: its caption comes before its text.
        HWND box = nullptr;
        const bool shown = testing_support::ProgramUnderTest::waitUntil([&] {
            box = FindWindowA("#32770", "Ombrix");
            return done || (box && IsWindowVisible(box));
        });
        if (!shown || done) return;
        caption = testing_support::windowText(box);
        text = testing_support::windowText(GetDlgItem(box, 0xFFFF));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    LRESULT result = SendMessageA(window.hwnd(), WM_APP, 0, 0);
    done = true;
    dismisser.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(caption, "Ombrix");
    EXPECT_EQ(text, "Cannot find the DLL functions.");
    EXPECT_TRUE(IsWindow(window.hwnd()));
}

TEST(JpegImageTest, DecodesTheAboutBoxPicture) {
    std::string bytes = testing_support::fileText(OMBRIX_SOURCE_DIR "\\app\\res\\about.jpg");
    ASSERT_FALSE(bytes.empty());
    ui::DecodedBitmap picture = ui::decodeJpeg(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    EXPECT_EQ(picture.width, 89);
    EXPECT_EQ(picture.height, 184);
    EXPECT_TRUE(picture.bitmap);
}

// A few hundred bytes may declare a progressive picture of 60000 x 60000, whose decoding
// needs its whole coefficient array first: the size is refused as soon as it is read,
// before any of that is asked for.
TEST(JpegImageTest, RefusesAHugeDeclaredSizeBeforeDecoding) {
    std::string file = "\xFF\xD8";                                    // SOI
    file += std::string("\xFF\xDB\x00\x43\x00", 5) + std::string(64, '\x01');  // DQT, table 0
    file += std::string("\xFF\xC2\x00\x11\x08\xEA\x60\xEA\x60\x03"  // SOF2: 60000 x 60000, 3 parts
                        "\x01\x11\x00\x02\x11\x00\x03\x11\x00", 19);
    file += std::string("\xFF\xDA\x00\x0C\x03\x01\x00\x02\x00\x03\x00\x00\x00\x00", 14);  // SOS: DC first
    file += std::string(16, '\0') + "\xFF\xD9";
    try {
        ui::decodeJpeg(reinterpret_cast<const uint8_t*>(file.data()), file.size());
        FAIL() << "decoded";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Cannot decode picture: unsupported picture size or colour layout");
    }
}

TEST(JpegImageTest, RefusesDataThatIsNoPicture) {
    const std::string junk = "\xFF\xD8\xFF\xE0 this is not a picture at all";
    EXPECT_THROW(ui::decodeJpeg(reinterpret_cast<const uint8_t*>(junk.data()), junk.size()), std::runtime_error);
    EXPECT_THROW(ui::decodeJpeg(nullptr, 0), std::runtime_error);
}
