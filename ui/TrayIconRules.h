// What the tray icon does with each mouse notification, when its click timer reports a click,
// when the cursor counts as gone from the icon and where cycling goes next: the decisions
// without the system calls, so that they are followed step by step in a native test.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace ui {

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

enum class ShiftKey : std::uint8_t {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
};

// The keys and the mouse button held down when a mouse event is raised.
class TShiftState {
public:
    constexpr TShiftState() = default;
    constexpr TShiftState(std::initializer_list<ShiftKey> keys) {
        for (ShiftKey k : keys) bits_ = static_cast<std::uint8_t>(bits_ | static_cast<std::uint8_t>(k));
    }
    constexpr bool contains(ShiftKey k) const noexcept { return (bits_ & static_cast<std::uint8_t>(k)) != 0; }
    constexpr TShiftState operator+(ShiftKey k) const noexcept {
        TShiftState s = *this;
        s.bits_ = static_cast<std::uint8_t>(s.bits_ | static_cast<std::uint8_t>(k));
        return s;
    }
    constexpr bool operator==(const TShiftState&) const = default;
    constexpr std::uint8_t bits() const noexcept { return bits_; }

private:
    std::uint8_t bits_ = 0;
};

// The shift state of the keys alone, as read from the keyboard at handling time.
TShiftState shiftStateOf(bool shift, bool alt, bool ctrl);
// The flag a button's own events add to the shift state.
ShiftKey buttonKey(TMouseButton button);

struct CursorPoint {
    int x = 0;
    int y = 0;
    constexpr bool operator==(const CursorPoint&) const = default;
};

// The mouse messages the shell passes on for an icon; the numbers are the window messages'.
namespace traymsg {
constexpr unsigned MouseMove = 0x0200;
constexpr unsigned LButtonDown = 0x0201;
constexpr unsigned LButtonUp = 0x0202;
constexpr unsigned LButtonDblClk = 0x0203;
constexpr unsigned RButtonDown = 0x0204;
constexpr unsigned RButtonUp = 0x0205;
constexpr unsigned MButtonDown = 0x0207;
constexpr unsigned MButtonUp = 0x0208;
}  // namespace traymsg

// The icon's own record of the mouse between notifications.
struct TrayMouseState {
    bool LeftButtonDown = false;
    bool ClickPending = false;
    bool DblClickSeen = false;
    bool CursorOutside = true;
    // Where the cursor was at the last mouse move over the icon.
    CursorPoint last;
};

// What the icon offers the decisions: its settings, the keyboard and the cursor at handling
// time, and its effects. Every effect that runs the program's code (an event, the menu)
// answers whether the icon still exists afterwards: a handler may free it, and then nothing of
// it may be touched any more.
class TrayMouseSink {
public:
    virtual bool enabled() const = 0;
    virtual bool wantsEnterExitEvents() const = 0;
    virtual bool hasDblClickHandler() const = 0;
    virtual bool leftPopup() const = 0;
    // A popup menu is set and it pops up on its own (AutoPopup).
    virtual bool autoPopupMenu() const = 0;
    virtual bool clickTimerRunning() const = 0;
    virtual TShiftState keys() const = 0;
    virtual CursorPoint cursor() const = 0;

    // Runs the click timer for the system double-click time.
    virtual void startClickTimer() = 0;
    virtual void stopClickTimer() = 0;

    virtual bool mouseEnter() = 0;
    virtual bool mouseExit() = 0;
    virtual bool mouseMove(TShiftState shift, CursorPoint at) = 0;
    virtual bool mouseDown(TMouseButton button, TShiftState shift, CursorPoint at) = 0;
    virtual bool mouseUp(TMouseButton button, TShiftState shift, CursorPoint at) = 0;
    virtual bool click() = 0;
    virtual bool dblClick() = 0;
    // Brings the icon's hidden window forward and shows the menu at the cursor.
    virtual bool popup() = 0;
    // Clicks the menu's default item (the lowest-placed one if several are marked).
    virtual bool clickDefaultItem() = 0;

protected:
    ~TrayMouseSink() = default;
};

// One mouse notification for the icon. Nothing happens while the icon is disabled; messages
// other than moves and the three buttons' presses, releases and the left double click are
// ignored.
void dispatchTrayMouse(unsigned mouseMessage, TrayMouseState& state, TrayMouseSink& sink);

// The click timer has run out: a pending click that no double click followed is a click.
void decideClick(TrayMouseState& state, TrayMouseSink& sink);

// The exit timer's tick: the cursor has left the icon once it stands anywhere but where the
// last move over the icon saw it.
void checkExit(TrayMouseState& state, TrayMouseSink& sink);

// Where cycling goes after `index` in a list of `count` icons: the next one, then back to 0.
int nextCycleIndex(int index, int count);

// Whether a "comctl32.dll" of the file version whose most significant word is given announces
// a re-created taskbar ("TaskbarCreated" exists from version 4.71 on).
bool announcesTaskbarCreated(std::uint32_t fileVersionMS);

}  // namespace ui
