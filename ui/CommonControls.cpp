// The library stays loaded once loaded: the windows and image lists made from it live until
// the program ends.
#include "ui/CommonControls.h"

namespace ui::comctl {

namespace {

struct Library {
    decltype(&InitCommonControlsEx) init = nullptr;
    decltype(&ImageList_Create) create = nullptr;
    decltype(&ImageList_Destroy) destroy = nullptr;
    decltype(&ImageList_AddMasked) addMasked = nullptr;
    decltype(&ImageList_Draw) draw = nullptr;
    bool ok = false;

    Library() {
        // Through the process's activation context, so that the manifest's version is the
        // one loaded.
        HMODULE module = LoadLibraryA("comctl32.dll");
        if (!module) return;
        bind(module, init, "InitCommonControlsEx");
        bind(module, create, "ImageList_Create");
        bind(module, destroy, "ImageList_Destroy");
        bind(module, addMasked, "ImageList_AddMasked");
        bind(module, draw, "ImageList_Draw");
        if (!init || !create || !destroy || !addMasked || !draw) return;
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
        ok = init(&icc) != FALSE;
    }

    template <typename F>
    static void bind(HMODULE module, F& to, const char* name) {
        to = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
};

const Library& library() noexcept {
    static const Library loaded;
    return loaded;
}

}  // namespace

bool ready() noexcept { return library().ok; }

HIMAGELIST imageListCreate(int cx, int cy, UINT flags, int initial, int grow) noexcept {
    return ready() ? library().create(cx, cy, flags, initial, grow) : nullptr;
}

BOOL imageListDestroy(HIMAGELIST list) noexcept { return ready() ? library().destroy(list) : FALSE; }

int imageListAddMasked(HIMAGELIST list, HBITMAP bitmap, COLORREF mask) noexcept {
    return ready() ? library().addMasked(list, bitmap, mask) : -1;
}

BOOL imageListDraw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style) noexcept {
    return ready() ? library().draw(list, index, dc, x, y, style) : FALSE;
}

}  // namespace ui::comctl
