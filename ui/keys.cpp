// Keyboard table, field focus cycling and the command table of the main window.
#include "ui/keys.h"
#include "engine/engine.h"
#include "platform/platform.h"
#include "runs/runs.h"
#include "ui/ui.h"

namespace {
// Field order of Tab and Shift+Tab, indexed by `from`.
constexpr int tabTarget[4] = {idSeedField, idNodeField, idMapCountField, idSeedField};
constexpr int shiftTabTarget[4] = {idMapCountField, idMapCountField, idSeedField, idNodeField};

int fieldIndex(int id)
{
    switch (id) {
    case idSeedField: return 1;
    case idNodeField: return 2;
    case idMapCountField: return 3;
    default: return 0;
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

void fixSeed()
{
    readControlText(idSeedLabel, seedText, textBufferUnits);
    writeControlText(idSeedField, seedText);
}

void autoSeed()
{
    readControlText(idSeedField, seedText, textBufferUnits);
    if (seedText[0]) writeControlText(idSeedLabel, seedText);
    writeControlText(idSeedField, u"");
}

void fullColouring()
{
    setCommandState(0);
    engineStep(true);
}
}  // namespace

void cycleEditFocus(int from)
{
    if (from < 0 || from > 3) from = 0;
    const int target = shiftDown() ? shiftTabTarget[from] : tabTarget[from];
    focusControl(target);
    selectWholeText(target);
}

void handleKeyDown(int virtualKey)
{
    const int field = fieldIndex(focusedControl());
    if (field) {
        if (virtualKey == keyTab) cycleEditFocus(field);
        else if (virtualKey == keyEnter) focusMainWindow();
        return;
    }
    if (virtualKey == keyTab) {
        cycleEditFocus(0);
        return;
    }
    const int button = buttonOfKey(virtualKey);
    if (button && controlEnabled(button)) sendCommand(button);
}

void runCommand(int id)
{
    switch (id) {
    case idFix: fixSeed(); break;
    case idAuto: autoSeed(); break;
    case idMapRequest: mapRequest(); break;
    case idStep: engineStep(false); break;
    case idFull: fullColouring(); break;
    case idClear: clearColouring(); break;
    case idExport: exportMap(); break;
    case idBatch: batchRun(); break;
    default: break;
    }
}
