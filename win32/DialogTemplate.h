// Builds a dialog template in memory, so that each dialog's layout stands beside its code
// instead of in a resource script. Coordinates are dialog units.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace win {

class DialogTemplate {
public:
    DialogTemplate(const std::string& caption, DWORD style, DWORD exStyle, short width, short height,
                   const std::string& font = "MS Shell Dlg", WORD pointSize = 8);

    void button(int id, const std::string& text, short x, short y, short cx, short cy, DWORD style);
    void checkBox(int id, const std::string& text, short x, short y, short cx, short cy);
    void label(int id, const std::string& text, short x, short y, short cx, short cy);
    void edit(int id, short x, short y, short cx, short cy, DWORD style);
    // Any control, a visible child like the others: `className` is a window class name.
    void control(int id, const std::string& className, const std::string& text, short x, short y, short cx,
                 short cy, DWORD style, DWORD exStyle = 0);

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(data_.data()); }

private:
    void item(int id, WORD atom, const std::string* className, const std::string& text, short x, short y,
              short cx, short cy, DWORD style, DWORD exStyle);
    void align4();
    void word(WORD w);
    void dword(DWORD d);
    void text(const std::string& s);

    std::vector<WORD> data_;
};

}  // namespace win
