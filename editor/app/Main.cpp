// Menu.exe: the editor of the Qarvo Context Menu entries.
#include "MenuApp.h"

namespace {
CMenuApp theApp;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return AfxWinMain(theApp, instance);
}
