// make_menu_dat.exe PATH "Title=C:\path" ...: writes a menu.dat for demonstrations.
#include "MenuData.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_menu_dat PATH \"Title=Path\"...\n");
        return 2;
    }
    MenuItemList items;
    for (int i = 2; i < argc; ++i) {
        const std::string entry = argv[i];
        const std::size_t eq = entry.find('=');
        if (eq == std::string::npos) {
            std::fprintf(stderr, "not Title=Path: %s\n", argv[i]);
            return 2;
        }
        items.push_back(MakeMenuItem(entry.substr(0, eq), entry.substr(eq + 1)));
    }
    return WriteMenuData(argv[1], items) ? 0 : 1;
}
