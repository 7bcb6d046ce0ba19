#pragma once
// The one main frame of the process, reachable from every subsystem (the
// view and its panels are found through it). Read it on the window thread.
class CMainFrame;
class CSMTView;

CMainFrame* GetMainFrame();
void SetMainFrame(CMainFrame* frame);
CSMTView* GetActiveView();
