// The editor of a process list: an instruction, the list's file as text, Save and Cancel.
// Created once at start, hidden, and shown by the settings dialog's edit buttons.
#pragma once

#include <string>
#include <string_view>

#include "settings/ListFile.h"
#include "settings/ProcessList.h"
#include "win32/Dialog.h"

namespace settings {

class ListEditor : public win::Dialog {
public:
    enum : int {
        Label1 = 101,
        Memo1 = 102,
        OKBtn = IDOK,
        BitBtn3 = IDCANCEL,
    };

    const ListFile& file() const noexcept { return file_; }

    // The edit command. Shows the editor modally with the file's text; Save writes the file
    // and only then closes the editor (while the file cannot be written the error is shown
    // and the user's text stays in the editor); after Cancel nothing changes. Returns
    // whether the editor was saved.
    bool edit();
    // The same for a list the program holds: after a Save `list` is the file's lines again.
    bool edit(ProcessList& list);

    std::string text() const { return itemText(Memo1); }

protected:
    ListEditor(HWND owner, const std::string& caption, ListFile file);

    void initialize() override;
    void command(int id, int code) override;
    // How Save writes the file.
    virtual void writeFile(std::string_view text) const { file_.write(text); }

private:
    void FormShow();
    void OKBtnClick();

    ListFile file_;
};

}  // namespace settings
