// The main window's keyboard table and command table.
#pragma once

// Virtual key codes the keyboard table reads.
enum : int {
    keyTab = 9, keyEnter = 13, keyLeft = 37, keyUp = 38, keyRight = 39, keyDown = 40, keyA = 65, keyF = 70
};

// Looks up a key-down in the keyboard table, before the message goes on as usual.
void handleKeyDown(int virtualKey);
// Moves the focus among the three fields and selects the whole text of the one
// that receives it. from: 0 elsewhere, 1 seed, 2 node count, 3 map count field.
void cycleEditFocus(int from);
// Runs the command of a control id; other ids do nothing.
void runCommand(int id);
