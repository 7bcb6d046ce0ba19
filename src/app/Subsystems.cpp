#include "app/Subsystems.h"

#include "app/SMTView.h"

void InstallSubsystems(CSMTView& /*view*/) {}
