#pragma once

class CMainApp;

// Gives the application object its windows: the windowed start-up, and the preferences' question of which
// ports the terminal windows hold. The program's entry calls it before start-up; without it the application
// object stays display-free.
void InstallMainAppShell(CMainApp& app);
