// The tray icon's mouse decisions followed step by step: which events each notification
// raises and in what order, the click decision, the exit check, the cycle step and the
// version gate of the taskbar's re-creation message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/TrayIconRules.h"

using namespace ui;

namespace {

std::string text(TShiftState s) {
    std::string t;
    const std::pair<ShiftKey, const char*> names[] = {{ShiftKey::ssShift, "shift"}, {ShiftKey::ssAlt, "alt"},
                                                      {ShiftKey::ssCtrl, "ctrl"},   {ShiftKey::ssLeft, "left"},
                                                      {ShiftKey::ssRight, "right"}, {ShiftKey::ssMiddle, "middle"}};
    for (auto [key, name] : names)
        if (s.contains(key)) t += t.empty() ? name : std::string("+") + name;
    return "[" + t + "]";
}

const char* text(TMouseButton b) {
    switch (b) {
    case TMouseButton::mbLeft: return "left";
    case TMouseButton::mbRight: return "right";
    case TMouseButton::mbMiddle: return "middle";
    }
    return "?";
}

std::string at(CursorPoint p) { return std::to_string(p.x) + "," + std::to_string(p.y); }

// Records every effect in order. `freeOn` names an event after which the icon counts as
// freed: the decisions must not call anything more.
class RecordingIcon : public TrayMouseSink {
public:
    bool isEnabled = true;
    bool wantEnterExit = false;
    bool dblClickHandler = false;
    bool popupOnLeft = false;
    bool menu = false;
    bool clickTimer = false;
    TShiftState held;
    CursorPoint where{10, 20};
    std::string freeOn;
    std::vector<std::string> log;

    bool enabled() const override { return isEnabled; }
    bool wantsEnterExitEvents() const override { return wantEnterExit; }
    bool hasDblClickHandler() const override { return dblClickHandler; }
    bool leftPopup() const override { return popupOnLeft; }
    bool autoPopupMenu() const override { return menu; }
    bool clickTimerRunning() const override { return clickTimer; }
    TShiftState keys() const override { return held; }
    CursorPoint cursor() const override { return where; }
    void startClickTimer() override {
        record("start click timer");
        clickTimer = true;
    }
    void stopClickTimer() override {
        record("stop click timer");
        clickTimer = false;
    }
    bool mouseEnter() override { return record("enter"); }
    bool mouseExit() override { return record("exit"); }
    bool mouseMove(TShiftState s, CursorPoint p) override { return record("move " + text(s) + " " + at(p)); }
    bool mouseDown(TMouseButton b, TShiftState s, CursorPoint p) override {
        return record(std::string("down ") + text(b) + " " + text(s) + " " + at(p));
    }
    bool mouseUp(TMouseButton b, TShiftState s, CursorPoint p) override {
        return record(std::string("up ") + text(b) + " " + text(s) + " " + at(p));
    }
    bool click() override { return record("click"); }
    bool dblClick() override { return record("dblclick"); }
    bool popup() override { return record("popup"); }
    bool clickDefaultItem() override { return record("default item"); }

private:
    bool record(const std::string& what) {
        if (freed_) log.push_back("touched after free: " + what);
        log.push_back(what);
        if (!freeOn.empty() && what.rfind(freeOn, 0) == 0) freed_ = true;
        return !freed_;
    }
    bool freed_ = false;
};

using Log = std::vector<std::string>;

}  // namespace

TEST(TrayMouseDispatchTest, ButtonEventsCarryTheButtonTheHeldKeysAndTheCursorReadAtHandlingTime) {
    RecordingIcon icon;
    TrayMouseState state;
    icon.held = shiftStateOf(true, false, true);
    icon.where = {300, 400};
    dispatchTrayMouse(traymsg::RButtonDown, state, icon);
    dispatchTrayMouse(traymsg::RButtonUp, state, icon);
    dispatchTrayMouse(traymsg::MButtonDown, state, icon);
    dispatchTrayMouse(traymsg::MButtonUp, state, icon);
    icon.held = shiftStateOf(false, true, false);
    dispatchTrayMouse(traymsg::MouseMove, state, icon);
    EXPECT_EQ(icon.log, (Log{"down right [shift+ctrl+right] 300,400", "up right [shift+ctrl+right] 300,400",
                             "down middle [shift+ctrl+middle] 300,400", "up middle [shift+ctrl+middle] 300,400",
                             "move [alt] 300,400"}));
}

TEST(TrayMouseDispatchTest, DisabledIconAndOtherMessagesRaiseNothing) {
    RecordingIcon icon;
    TrayMouseState state;
    icon.menu = true;
    icon.isEnabled = false;
    for (unsigned m : {traymsg::MouseMove, traymsg::LButtonDown, traymsg::LButtonUp, traymsg::LButtonDblClk,
                       traymsg::RButtonDown, traymsg::RButtonUp, traymsg::MButtonDown, traymsg::MButtonUp})
        dispatchTrayMouse(m, state, icon);
    icon.isEnabled = true;
    // Right and middle double clicks, the wheel, a key message: nothing the icon answers.
    for (unsigned m : {0x0206u, 0x0209u, 0x020Au, 0x0100u, 0u}) dispatchTrayMouse(m, state, icon);
    EXPECT_TRUE(icon.log.empty());
    EXPECT_FALSE(state.LeftButtonDown);
}

TEST(TrayMouseDispatchTest, ClickWithoutADoubleClickHandlerIsReportedOnRelease) {
    RecordingIcon icon;
    TrayMouseState state;
    dispatchTrayMouse(traymsg::LButtonDown, state, icon);
    EXPECT_TRUE(state.LeftButtonDown);
    dispatchTrayMouse(traymsg::LButtonUp, state, icon);
    EXPECT_EQ(icon.log, (Log{"down left [left] 10,20", "click", "up left [left] 10,20"}));
    EXPECT_FALSE(state.LeftButtonDown);
    EXPECT_FALSE(state.ClickPending);
}

TEST(TrayMouseDispatchTest, ReleaseWithoutAPressRaisesNoClick) {
    RecordingIcon icon;
    TrayMouseState state;
    dispatchTrayMouse(traymsg::LButtonUp, state, icon);
    EXPECT_EQ(icon.log, (Log{"up left [left] 10,20"}));
    EXPECT_FALSE(state.ClickPending);
}

TEST(TrayMouseDispatchTest, WithADoubleClickHandlerTheClickWaitsForTheTimer) {
    RecordingIcon icon;
    TrayMouseState state;
    icon.dblClickHandler = true;
    dispatchTrayMouse(traymsg::LButtonDown, state, icon);
    dispatchTrayMouse(traymsg::LButtonUp, state, icon);
    EXPECT_TRUE(state.ClickPending);
    decideClick(state, icon);
    EXPECT_EQ(icon.log, (Log{"start click timer", "down left [left] 10,20", "up left [left] 10,20",
                             "stop click timer", "click"}));
    EXPECT_FALSE(state.ClickPending);
    EXPECT_FALSE(state.DblClickSeen);
}

TEST(TrayMouseDispatchTest, DoubleClickRaisesOnlyTheDoubleClickAndClicksTheMenusDefaultItem) {
    RecordingIcon icon;
    TrayMouseState state;
    icon.dblClickHandler = true;
    icon.menu = true;
    // The system's sequence for a double click: down, up, double click, up.
    dispatchTrayMouse(traymsg::LButtonDown, state, icon);
    dispatchTrayMouse(traymsg::LButtonUp, state, icon);
    dispatchTrayMouse(traymsg::LButtonDblClk, state, icon);
    dispatchTrayMouse(traymsg::LButtonUp, state, icon);
    decideClick(state, icon);
    EXPECT_EQ(icon.log, (Log{"start click timer", "down left [left] 10,20", "up left [left] 10,20", "dblclick",
                             "default item", "up left [left] 10,20", "stop click timer"}));
    EXPECT_FALSE(state.DblClickSeen) << "the next click starts afresh";
}

TEST(TrayMouseDispatchTest, DefaultItemIsNotClickedWhenTheMenuOpensOnTheLeftButtonOrNotByItself) {
    RecordingIcon icon;
    TrayMouseState state;
    icon.menu = true;
    icon.popupOnLeft = true;
    dispatchTrayMouse(traymsg::LButtonDblClk, state, icon);
    icon.popupOnLeft = false;
    icon.menu = false;
    dispatchTrayMouse(traymsg::LButtonDblClk, state, icon);
    EXPECT_EQ(icon.log, (Log{"dblclick", "dblclick"}));
}

TEST(TrayMouseDispatchTest, MenuOpensOnRightPressAndOnLeftPressOnlyWithLeftPopup) {
    RecordingIcon icon;
    TrayMouseState state;
    icon.menu = true;
    dispatchTrayMouse(traymsg::LButtonDown, state, icon);
    dispatchTrayMouse(traymsg::RButtonDown, state, icon);
    icon.popupOnLeft = true;
    dispatchTrayMouse(traymsg::LButtonDown, state, icon);
    icon.menu = false;
    dispatchTrayMouse(traymsg::RButtonDown, state, icon);
    EXPECT_EQ(icon.log, (Log{"down left [left] 10,20", "down right [right] 10,20", "popup", "down left [left] 10,20",
                             "popup", "down right [right] 10,20"}));
}

TEST(TrayMouseDispatchTest, EnterComesBeforeTheFirstMoveAndOnlyWhenEnterExitEventsAreWanted) {
    RecordingIcon icon;
    TrayMouseState state;
    dispatchTrayMouse(traymsg::MouseMove, state, icon);
    EXPECT_TRUE(state.CursorOutside);
    icon.wantEnterExit = true;
    icon.where = {5, 6};
    dispatchTrayMouse(traymsg::MouseMove, state, icon);
    icon.where = {7, 6};
    dispatchTrayMouse(traymsg::MouseMove, state, icon);
    EXPECT_EQ(icon.log, (Log{"move [] 10,20", "enter", "move [] 5,6", "move [] 7,6"}));
    EXPECT_FALSE(state.CursorOutside);
    EXPECT_EQ(state.last, (CursorPoint{7, 6}));
}

TEST(TrayExitCheckTest, ExitOnceTheCursorLeavesTheLastMovesPositionAndEnterAgainOnTheNextMove) {
    RecordingIcon icon;
    TrayMouseState state;
    icon.wantEnterExit = true;
    checkExit(state, icon);  // never entered
    dispatchTrayMouse(traymsg::MouseMove, state, icon);
    checkExit(state, icon);  // still where the move saw it
    icon.where = {11, 20};
    checkExit(state, icon);
    checkExit(state, icon);  // already outside
    dispatchTrayMouse(traymsg::MouseMove, state, icon);
    EXPECT_EQ(icon.log, (Log{"enter", "move [] 10,20", "exit", "enter", "move [] 11,20"}));
}

TEST(TrayClickDecisionTest, TimerWithoutAPendingClickOnlyStopsAndForgetsTheDoubleClick) {
    RecordingIcon icon;
    TrayMouseState state;
    state.DblClickSeen = true;
    state.ClickPending = true;
    decideClick(state, icon);
    EXPECT_EQ(icon.log, (Log{"stop click timer"}));
    EXPECT_FALSE(state.DblClickSeen);
    EXPECT_TRUE(state.ClickPending) << "a click cancelled by a double click stays unreported";
}

TEST(TrayMouseDispatchTest, NothingOfTheIconIsTouchedAfterAnEventFreedIt) {
    struct Case {
        unsigned message;
        const char* freeOn;
        bool dblClickHandler;
    };
    for (Case c : {Case{traymsg::LButtonUp, "click", false}, Case{traymsg::LButtonDown, "down", false},
                   Case{traymsg::LButtonDblClk, "dblclick", false}, Case{traymsg::RButtonDown, "down", false},
                   Case{traymsg::MouseMove, "enter", false}}) {
        RecordingIcon icon;
        TrayMouseState state;
        state.LeftButtonDown = c.message == traymsg::LButtonUp;
        icon.menu = true;
        icon.popupOnLeft = true;
        icon.wantEnterExit = true;
        icon.freeOn = c.freeOn;
        TrayMouseState before = state;
        dispatchTrayMouse(c.message, state, icon);
        ASSERT_EQ(icon.log.size(), 1u) << "freed on " << c.freeOn;
        // What the handler freed is not written to either.
        if (c.message == traymsg::LButtonDown) EXPECT_EQ(state.LeftButtonDown, before.LeftButtonDown);
        if (c.message == traymsg::MouseMove) EXPECT_EQ(state.CursorOutside, before.CursorOutside);
    }
    RecordingIcon icon;
    TrayMouseState state;
    state.ClickPending = true;
    state.DblClickSeen = false;
    icon.freeOn = "click";
    decideClick(state, icon);
    EXPECT_EQ(icon.log, (Log{"stop click timer", "click"}));
}

TEST(TrayMouseDispatchTest, ShiftStateNamesEachHeldKey) {
    EXPECT_EQ(shiftStateOf(false, false, false), TShiftState{});
    EXPECT_EQ(shiftStateOf(true, true, true), (TShiftState{ShiftKey::ssShift, ShiftKey::ssAlt, ShiftKey::ssCtrl}));
    EXPECT_EQ(shiftStateOf(false, true, false) + buttonKey(TMouseButton::mbMiddle),
              (TShiftState{ShiftKey::ssAlt, ShiftKey::ssMiddle}));
}

TEST(TrayCycleStepTest, StepsThroughTheListAndWrapsToTheFirst) {
    EXPECT_EQ(nextCycleIndex(0, 3), 1);
    EXPECT_EQ(nextCycleIndex(1, 3), 2);
    EXPECT_EQ(nextCycleIndex(2, 3), 0);
    EXPECT_EQ(nextCycleIndex(0, 1), 0);
    EXPECT_EQ(nextCycleIndex(0, 0), 0) << "without a list the index stays 0";
}

TEST(TaskbarCreatedVersionTest, Comctl32From4Point71OnAnnouncesTheNewTaskbar) {
    auto version = [](unsigned major, unsigned minor) { return major << 16 | minor; };
    EXPECT_FALSE(announcesTaskbarCreated(0));
    EXPECT_FALSE(announcesTaskbarCreated(version(4, 70)));
    EXPECT_FALSE(announcesTaskbarCreated(version(3, 99)));
    EXPECT_TRUE(announcesTaskbarCreated(version(4, 71)));
    EXPECT_TRUE(announcesTaskbarCreated(version(4, 72)));
    EXPECT_TRUE(announcesTaskbarCreated(version(5, 82)));
    EXPECT_TRUE(announcesTaskbarCreated(version(6, 0)));
}
