// The entry of Tavrel.exe.
#include <windows.h>

#include "tavrel/app/start_up.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return AppLayer::RunApplication(instance); }
