// The application both starters start in the launch-cost bench: it exits at
// once, so its own start-up competes as little as possible with the starter
// being timed.

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
