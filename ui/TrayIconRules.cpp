// The tray icon's mouse decisions, in the order the icon's events are raised.
#include "ui/TrayIconRules.h"

namespace ui {

TShiftState shiftStateOf(bool shift, bool alt, bool ctrl) {
    TShiftState s;
    if (shift) s = s + ShiftKey::ssShift;
    if (alt) s = s + ShiftKey::ssAlt;
    if (ctrl) s = s + ShiftKey::ssCtrl;
    return s;
}

ShiftKey buttonKey(TMouseButton button) {
    switch (button) {
    case TMouseButton::mbLeft: return ShiftKey::ssLeft;
    case TMouseButton::mbRight: return ShiftKey::ssRight;
    case TMouseButton::mbMiddle: return ShiftKey::ssMiddle;
    }
    return ShiftKey::ssLeft;
}

namespace {

bool isHandled(unsigned m) {
    using namespace traymsg;
    return m == MouseMove || m == LButtonDown || m == LButtonUp || m == LButtonDblClk || m == RButtonDown ||
           m == RButtonUp || m == MButtonDown || m == MButtonUp;
}

}  // namespace

// Every event may free the icon, and with it `state`: after an event that answers false the
// function returns without touching anything.
void dispatchTrayMouse(unsigned mouseMessage, TrayMouseState& state, TrayMouseSink& sink) {
    if (!sink.enabled() || !isHandled(mouseMessage)) return;
    // Both are read once, when the notification is handled; the message carries neither.
    const TShiftState keys = sink.keys();
    const CursorPoint at = sink.cursor();
    auto with = [&](TMouseButton b) { return keys + buttonKey(b); };
    using enum TMouseButton;

    switch (mouseMessage) {
    case traymsg::MouseMove:
        if (sink.wantsEnterExitEvents() && state.CursorOutside) {
            if (!sink.mouseEnter()) return;
            state.CursorOutside = false;
        }
        if (!sink.mouseMove(keys, at)) return;
        state.last = at;
        return;
    case traymsg::LButtonDown:
        // With a double-click handler a click is only known to be single once the
        // double-click time has passed.
        if (sink.hasDblClickHandler()) sink.startClickTimer();
        if (!sink.mouseDown(mbLeft, with(mbLeft), at)) return;
        state.LeftButtonDown = true;
        if (sink.leftPopup() && sink.autoPopupMenu()) sink.popup();
        return;
    case traymsg::LButtonUp:
        if (state.LeftButtonDown) state.ClickPending = true;
        if (state.LeftButtonDown && !sink.clickTimerRunning()) {
            state.LeftButtonDown = false;
            state.ClickPending = false;
            if (!sink.click()) return;
        }
        state.LeftButtonDown = false;
        sink.mouseUp(mbLeft, with(mbLeft), at);
        return;
    case traymsg::LButtonDblClk:
        state.ClickPending = false;
        state.DblClickSeen = true;
        if (!sink.dblClick()) return;
        if (sink.autoPopupMenu() && !sink.leftPopup()) sink.clickDefaultItem();
        return;
    case traymsg::RButtonDown:
        if (!sink.mouseDown(mbRight, with(mbRight), at)) return;
        if (sink.autoPopupMenu()) sink.popup();
        return;
    case traymsg::RButtonUp:
        sink.mouseUp(mbRight, with(mbRight), at);
        return;
    case traymsg::MButtonDown:
        sink.mouseDown(mbMiddle, with(mbMiddle), at);
        return;
    case traymsg::MButtonUp:
        sink.mouseUp(mbMiddle, with(mbMiddle), at);
        return;
    default:
        return;
    }
}

void decideClick(TrayMouseState& state, TrayMouseSink& sink) {
    sink.stopClickTimer();
    if (!state.DblClickSeen && state.ClickPending) {
        state.ClickPending = false;
        if (!sink.click()) return;
    }
    state.DblClickSeen = false;
}

void checkExit(TrayMouseState& state, TrayMouseSink& sink) {
    if (state.CursorOutside) return;
    if (sink.cursor() == state.last) return;
    state.CursorOutside = true;
    sink.mouseExit();
}

int nextCycleIndex(int index, int count) { return index + 1 < count ? index + 1 : 0; }

bool announcesTaskbarCreated(std::uint32_t fileVersionMS) {
    const std::uint32_t major = fileVersionMS >> 16;
    const std::uint32_t minor = fileVersionMS & 0xFFFFu;
    return major > 4 || (major == 4 && minor >= 71);
}

}  // namespace ui
