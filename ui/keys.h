// The main window's keyboard table and command table.
#pragma once

namespace orvane {

class Session;

// Virtual key codes the keyboard table reads.
enum VirtualKey : int {
    keyTab = 9, keyEnter = 13, keyLeft = 37, keyUp = 38, keyRight = 39, keyDown = 40, keyA = 65, keyF = 70
};

// Where the keyboard focus is when Tab moves it.
enum class FieldFocus { elsewhere = 0, seed = 1, nodeCount = 2, mapCount = 3 };

// Looks up a key-down in the keyboard table, before the message goes on as usual.
void handleKeyDown(int virtualKey);
// Moves the focus among the three fields and selects the whole text of the one
// that receives it.
void cycleEditFocus(FieldFocus from);
// Runs the command of a control id; other ids do nothing.
void runCommand(Session& session, int id);

}  // namespace orvane
