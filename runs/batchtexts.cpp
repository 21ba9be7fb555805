// Texts of the batch page, shared by the batch run and the map view.
#include "runs/runs.h"

char16_t counterText[2][16];
char16_t batchHeader[batchTextUnits];
char16_t batchSeedRange[batchTextUnits];
char16_t batchTotalTime[batchTextUnits];
char16_t batchMapTime[batchTextUnits];
char16_t batchColourTime[batchTextUnits];
ViewRect counterRect[2] = {{80, 70, 140, 85}, {80, 90, 140, 105}};
