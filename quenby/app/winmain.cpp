// The help viewer's process entry.
#include <windows.h>

#include "quenby/app/quenby_main.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return AppLayer::QuenbyMain(instance); }
