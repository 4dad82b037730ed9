#pragma once
// Looks up top-level windows on the test X server by title and asks them to
// close as a window manager would (WM_DELETE_WINDOW). Only windows of this
// process and of its children count: a display shared with another test run
// may show windows of the same title that are none of ours.

#include "ProcessRunner.h"

#include <chrono>
#include <string>
#include <vector>

namespace xwin {
// Titles of all windows on the display named by DISPLAY.
std::vector<std::string> titles();
// Waits until a window whose title satisfies the predicate text exists.
bool waitForTitle(const std::string& title, double seconds, bool prefix = false);
// Sends WM_DELETE_WINDOW to every window with that exact title; false if none.
bool requestClose(const std::string& title);
// Waits for the program's end after a close request, asking again every
// second while it runs: a request that reaches a window still being set up
// can be lost.
ProcessResult waitForClose(ChildProcess& app, const std::string& title, std::chrono::seconds timeout);
// Resizes the window as a user dragging its border would.
bool resize(const std::string& title, int width, int height);
// The X id of the first of our windows whose title starts with prefix; 0 if none.
unsigned long findWindow(const std::string& prefix);
// The full title of that window; empty if none.
std::string titleStartingWith(const std::string& prefix);
} // namespace xwin
