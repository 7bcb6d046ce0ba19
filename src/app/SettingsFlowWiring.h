#pragma once
// How the settings reach their consumers: the stores tell their listeners
// when the settings arrive at start-up and after every commit of a settings
// dialog (basic, pulse, detour, speed, strategy), and each consumer that
// keeps values of its own takes them again there.
class CSMTView;

void InstallSettingsFlow(CSMTView& view);
