#pragma once
// Where each subsystem joins the main view: the steps it adds to start-up,
// language switching and closing, and the dialogs its menu commands open.
class CSMTView;

void InstallSubsystems(CSMTView& view);
