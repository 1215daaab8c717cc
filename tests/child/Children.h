// The helper program that the process and real-screen tests start as their
// child (morvellan_test_child, built from this folder). It holds the child
// halves of those tests: each runs only when its parent starts it and passes
// what it needs in the environment. It is not itself a test of ctest's.
#pragma once

namespace harness {

// The preferences folder the signal test's child runs on.
constexpr const char* kChildPrefs = "MORVELLAN_TEST_CHILD_PREFS";
// The preferences folder the unlock test's child starts the program on.
constexpr const char* kUnlockChildPrefs = "MORVELLAN_TEST_UNLOCK_CHILD_PREFS";
// Set when the unlock test's child is to stay once the editor shows the
// note, until it is killed.
constexpr const char* kUnlockChildHold = "MORVELLAN_TEST_UNLOCK_CHILD_HOLD";
// The window-size file ("height,width") the real-screen test's child starts with.
constexpr const char* kChildMarker = "MORVELLAN_TEST_SCREEN_CHILD";
// Set when the real-screen test starts the child that checks the focus
// after quick update checks.
constexpr const char* kFocusChildMarker = "MORVELLAN_TEST_FOCUS_CHILD";
// Set when the real-screen test starts the child that stands for another
// program: a plain window with a text field, whose typed text it prints.
constexpr const char* kOtherProgramMarker = "MORVELLAN_TEST_OTHER_PROGRAM";
// The X window (a number) of that other program's text field, given to the
// child that turns to it just after a box of the editor closed.
constexpr const char* kOtherWindowMarker = "MORVELLAN_TEST_OTHER_WINDOW";

// The preferences folder the lost-display test's child runs on; with
// kLostDisplayTyped, the text it types into the editor and, when set,
// kLostDisplayStored, the note it finds stored (else a first use).
constexpr const char* kLostDisplayPrefs = "MORVELLAN_TEST_LOST_DISPLAY_PREFS";
constexpr const char* kLostDisplayTyped = "MORVELLAN_TEST_LOST_DISPLAY_TYPED";
constexpr const char* kLostDisplayStored = "MORVELLAN_TEST_LOST_DISPLAY_STORED";

}  // namespace harness
