// One menu entry and the list of them, shared byte for byte by the editor and the shell
// extension through "menu.dat".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// A plain 384-byte record: both fields are NUL-terminated ANSI text in the system code page.
// A new record is all zero bytes.
struct MenuItem {
    char MenuTitle[128];
    char FilePath[256];
};

static_assert(sizeof(MenuItem) == 384, "MenuItem is stored byte for byte in menu.dat");
static_assert(offsetof(MenuItem, MenuTitle) == 0, "MenuTitle starts the record");
static_assert(offsetof(MenuItem, FilePath) == 128, "FilePath follows the 128-byte title");

// Ordered, contiguous; its order is the submenu order.
using MenuItemList = std::vector<MenuItem>;

// The field text up to its first NUL, never past the field's end.
template <std::size_t N> std::string_view FieldText(const char (&field)[N]) {
    std::size_t len = 0;
    while (len < N && field[len] != '\0') {
        ++len;
    }
    return std::string_view(field, len);
}

// Copies text and its NUL into the field when it fits (at most N - 1 bytes); a longer text
// leaves the field empty rather than cut. Returns whether the text was stored.
template <std::size_t N> bool AssignField(char (&field)[N], std::string_view text) {
    for (char& c : field) {
        c = '\0';
    }
    if (text.size() >= N) {
        return false;
    }
    text.copy(field, text.size());
    return true;
}

// A cleared record with both fields assigned by the rule above.
MenuItem MakeMenuItem(std::string_view title, std::string_view path);
