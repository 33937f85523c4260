#include "packer/run_state.h"

PackerRun g_run;

void resetPackerRun() { g_run = PackerRun{}; }
