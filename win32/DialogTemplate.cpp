// In-memory dialog templates (DLGTEMPLATE followed by DLGITEMTEMPLATE records).
#include "win32/DialogTemplate.h"

namespace win {

DialogTemplate::DialogTemplate(const std::string& caption, DWORD style, DWORD exStyle, short width,
                               short height, const std::string& font, WORD pointSize) {
    dword(style | DS_SETFONT);
    dword(exStyle);
    word(0);  // item count, raised by each item
    word(0);
    word(0);
    word(static_cast<WORD>(width));
    word(static_cast<WORD>(height));
    word(0);  // no menu
    word(0);  // standard dialog class
    text(caption);
    word(pointSize);
    text(font);
}

void DialogTemplate::button(int id, const std::string& caption, short x, short y, short cx, short cy, DWORD style) {
    item(id, 0x0080, nullptr, caption, x, y, cx, cy, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_NOTIFY | style, 0);
}

void DialogTemplate::checkBox(int id, const std::string& caption, short x, short y, short cx, short cy) {
    item(id, 0x0080, nullptr, caption, x, y, cx, cy,
         WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_NOTIFY, 0);
}

void DialogTemplate::label(int id, const std::string& caption, short x, short y, short cx, short cy) {
    item(id, 0x0082, nullptr, caption, x, y, cx, cy, WS_CHILD | WS_VISIBLE | SS_LEFT, 0);
}

void DialogTemplate::edit(int id, short x, short y, short cx, short cy, DWORD style) {
    item(id, 0x0081, nullptr, "", x, y, cx, cy, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | style, 0);
}

void DialogTemplate::control(int id, const std::string& className, const std::string& caption, short x, short y,
                             short cx, short cy, DWORD style, DWORD exStyle) {
    item(id, 0, &className, caption, x, y, cx, cy, WS_CHILD | WS_VISIBLE | style, exStyle);
}

void DialogTemplate::item(int id, WORD atom, const std::string* className, const std::string& caption, short x,
                          short y, short cx, short cy, DWORD style, DWORD exStyle) {
    align4();
    dword(style);
    dword(exStyle);
    word(static_cast<WORD>(x));
    word(static_cast<WORD>(y));
    word(static_cast<WORD>(cx));
    word(static_cast<WORD>(cy));
    word(static_cast<WORD>(id));
    if (className) {
        text(*className);
    } else {
        word(0xFFFF);
        word(atom);
    }
    text(caption);
    word(0);  // no creation data
    ++data_[4];
}

void DialogTemplate::align4() {
    if (data_.size() % 2) data_.push_back(0);
}

void DialogTemplate::word(WORD w) { data_.push_back(w); }

void DialogTemplate::dword(DWORD d) {
    data_.push_back(LOWORD(d));
    data_.push_back(HIWORD(d));
}

void DialogTemplate::text(const std::string& s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    if (n) MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), wide.data(), n);
    for (wchar_t c : wide) data_.push_back(static_cast<WORD>(c));
    data_.push_back(0);
}

}  // namespace win
