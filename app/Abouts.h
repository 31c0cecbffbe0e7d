// The about box: the program's name, a line and a picture that open the maker's web site,
// and OK. Lives for the whole run and is shown modally by the About commands; its window is
// made, hidden, at its first showing and kept.
#pragma once

#include <windows.h>

#include <string>

#include "ui/JpegImage.h"
#include "win32/Dialog.h"
#include "win32/UniqueHandle.h"

namespace app {

class TAbouts : public win::Dialog {
public:
    enum Control { Panel1 = 300, Label1, Label3, GroupBox1, Image1, OKBtn = IDOK };

    explicit TAbouts(HWND owner);

    // Shows the box modally; when it is already open (the tray menu still works while it
    // is), brings it to the front instead of opening it twice.
    void showOrRaise();

    // The address last opened from the box.
    std::string siteAddress;

protected:
    void initialize() override;
    void command(int id, int code) override;
    INT_PTR handle(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    void Image1Click();
    void OKBtnClick() { close(IDOK); }
    void placeControls();
    void loadPictures();
    void drawPicture(const DRAWITEMSTRUCT& d) const;
    void drawOkButton(const DRAWITEMSTRUCT& d) const;

    win::UniqueGdiObject font_;      // bold "System"
    win::UniqueGdiObject okFont_;    // Arial
    ui::DecodedBitmap picture_;      // Image1; empty when the picture could not be decoded
    win::UniqueGdiObject okGlyph_;   // two cells side by side: enabled, disabled
    bool picturesLoaded_ = false;
};

}  // namespace app
