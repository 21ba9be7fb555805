#include "ui/ui.h"
#include "platform/platform.h"

int8_t displayMode = -1;
char16_t seedText[textBufferUnits];
char16_t nodeCountText[textBufferUnits];
char16_t mapCountText[textBufferUnits];

void setCommandState(int8_t state)
{
    if (state == -1) {
        for (int id = idSeedLabel; id <= idBatch; ++id) showControl(id, false);
        return;
    }
    if (state == 1) {
        for (int id = idSeedLabel; id <= idBatch; ++id) showControl(id, true);
        state = 0;
    }
    // step, full, clear, export
    static const bool table[5][4] = {
        {false, false, false, false}, {false, false, false, false},
        {false, false, true, true},   {true, true, false, true},   {true, true, true, true},
    };
    if (state < 0 || state > 4) return;
    enableControl(idStep, table[state][0]);
    enableControl(idFull, table[state][1]);
    enableControl(idClear, table[state][2]);
    enableControl(idExport, table[state][3]);
    focusMainWindow();
}
