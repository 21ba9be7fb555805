// Keyboard table, field focus cycling and the command table of the main window.
#include "ui/keys.h"
#include "platform/platform.h"
#include "ui/controls.h"
#include "ui/session.h"

namespace orvane {

namespace {
// Field order of Tab and Shift+Tab, indexed by where the focus is.
constexpr int tabTarget[4] = {idSeedField, idNodeField, idMapCountField, idSeedField};
constexpr int shiftTabTarget[4] = {idMapCountField, idMapCountField, idSeedField, idNodeField};

FieldFocus fieldOf(int id)
{
    switch (id) {
    case idSeedField: return FieldFocus::seed;
    case idNodeField: return FieldFocus::nodeCount;
    case idMapCountField: return FieldFocus::mapCount;
    default: return FieldFocus::elsewhere;
    }
}

int buttonOfKey(int virtualKey)
{
    switch (virtualKey) {
    case keyLeft: return idClear;
    case keyUp: return idMapRequest;
    case keyRight: return idStep;
    case keyDown: return idFull;
    case keyA: return idAuto;
    case keyF: return idFix;
    default: return 0;
    }
}
}  // namespace

void cycleEditFocus(FieldFocus from)
{
    const int index = static_cast<int>(from);
    const int target = shiftDown() ? shiftTabTarget[index] : tabTarget[index];
    focusControl(target);
    selectWholeText(target);
}

void handleKeyDown(int virtualKey)
{
    const FieldFocus field = fieldOf(focusedControl());
    if (field != FieldFocus::elsewhere) {
        if (virtualKey == keyTab) cycleEditFocus(field);
        else if (virtualKey == keyEnter) focusMainWindow();
        return;
    }
    if (virtualKey == keyTab) {
        cycleEditFocus(FieldFocus::elsewhere);
        return;
    }
    const int button = buttonOfKey(virtualKey);
    if (button && controlEnabled(button)) sendCommand(button);
}

void runCommand(Session& session, int id)
{
    switch (id) {
    case idFix: session.fixSeed(); break;
    case idAuto: session.autoSeed(); break;
    case idMapRequest: session.mapRequest(); break;
    case idStep: session.stepColouring(); break;
    case idFull: session.fullColouring(); break;
    case idClear: session.clearColouring(); break;
    case idExport: session.exportMap(); break;
    case idBatch: session.batchRun(); break;
    default: break;
    }
}

}  // namespace orvane
