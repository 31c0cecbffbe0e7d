// The list editors' window and their edit command.
#include "settings/ListEditor.h"

#include "settings/ListText.h"
#include "win32/Application.h"

namespace settings {

namespace {

win::DialogTemplate layout(const std::string& caption) {
    win::DialogTemplate t(caption, DS_MODALFRAME | WS_POPUP | WS_CAPTION, WS_EX_TOPMOST, 220, 196);
    t.label(ListEditor::Label1, "exe file list  , one per line ( For example: keylogger.exe )", 8, 6, 204, 10);
    t.edit(ListEditor::Memo1, 8, 18, 204, 148,
           ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_HSCROLL);
    t.button(ListEditor::OKBtn, "Save", 52, 174, 50, 16, BS_DEFPUSHBUTTON);
    t.button(ListEditor::BitBtn3, "Cancel", 118, 174, 50, 16, BS_PUSHBUTTON);
    return t;
}

// The dialog manager selects the whole text of an edit control that it gives the focus to;
// in a list editor the first key typed would then replace the whole list. The memo says it
// has no selection to set, and keeps its caret where it was.
LRESULT CALLBACK memoProc(HWND memo, UINT msg, WPARAM wp, LPARAM lp) {
    auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(memo, GWLP_USERDATA));
    LRESULT result = CallWindowProcA(original, memo, msg, wp, lp);
    if (msg == WM_GETDLGCODE) result &= ~static_cast<LRESULT>(DLGC_HASSETSEL);
    return result;
}

}  // namespace

ListEditor::ListEditor(HWND owner, const std::string& caption, ListFile file) : file_(std::move(file)) {
    prepare(layout(caption), owner);
}

void ListEditor::initialize() {
    HWND memo = item(Memo1);
    // No length limit: a list longer than the edit control's default is never cut short.
    SendMessageA(memo, EM_SETLIMITTEXT, 0, 0);
    SetWindowLongPtrA(memo, GWLP_USERDATA, GetWindowLongPtrA(memo, GWLP_WNDPROC));
    SetWindowLongPtrA(memo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&memoProc));
}

bool ListEditor::edit() {
    // A second click that arrives while the settings dialog repaints finds the editor open.
    if (showing()) return false;
    // Lets the settings dialog repaint before the editor covers it.
    win::Application::processMessages();
    if (showing()) return false;
    FormShow();
    return showModal() == IDOK;
}

bool ListEditor::edit(ProcessList& list) {
    if (!edit()) return false;
    file_.loadInto(list);
    return true;
}

// Always the file, not the list in memory: what is saved is what was shown. A file that
// cannot be read raises here, before the editor shows, so that an empty editor is never
// saved over a list that merely could not be read.
void ListEditor::FormShow() {
    std::string text = file_.editorText();
    setItemText(Memo1, text);
    SendMessageA(item(Memo1), EM_SETSEL, 0, 0);
}

// The file is written before the editor closes, so that a file that cannot be created costs
// the user nothing: the error is shown and the text stays for another try or for Cancel.
void ListEditor::OKBtnClick() {
    writeFile(withCrLfBreaks(text()));
    close(IDOK);
}

void ListEditor::command(int id, int code) {
    if (id == OKBtn && code == BN_CLICKED) {
        OKBtnClick();
        return;
    }
    Dialog::command(id, code);
}

}  // namespace settings
