// A skin description: the colours one skin file gives, read with MSXML 3.0.
#pragma once

#include <windows.h>

enum SkinColor : unsigned {
    kDialogBackground,
    kDialogText,
    kStaticText,
    kButtonBackground,
    kButtonText,
    kButtonBorder,
    kButtonHotBackground,
    kButtonPressedBackground,
    kButtonDisabledBackground,
    kButtonDisabledText,
    kButtonFocus,
    kEditBackground,
    kEditText,
    kReadOnlyBackground,
    kReadOnlyText,
    kListBackground,
    kListText,
    kSelectionBackground,
    kSelectionText,
    kHeaderBackground,
    kHeaderText,
    kHeaderBorder,
    kGroupFrame,
    kSkinColorCount
};

// A colour the file does not give keeps the system's own look for that part.
struct SkinColors {
    COLORREF color[kSkinColorCount];
    unsigned given;

    bool Has(SkinColor c) const { return (given & (1u << c)) != 0; }
    bool HasAny(unsigned mask) const { return (given & mask) != 0; }
    COLORREF Get(SkinColor c, COLORREF fallback) const { return Has(c) ? color[c] : fallback; }
    COLORREF GetOrSystem(SkinColor c, int sysColor) const {
        return Has(c) ? color[c] : ::GetSysColor(sysColor);
    }
    void Set(SkinColor c, COLORREF value) {
        color[c] = value;
        given |= 1u << c;
    }
};

constexpr unsigned SkinMask(SkinColor c) {
    return 1u << c;
}
constexpr unsigned kButtonColors =
    SkinMask(kButtonBackground) | SkinMask(kButtonText) | SkinMask(kButtonBorder) |
    SkinMask(kButtonHotBackground) | SkinMask(kButtonPressedBackground) |
    SkinMask(kButtonDisabledBackground) | SkinMask(kButtonDisabledText) | SkinMask(kButtonFocus);
constexpr unsigned kHeaderColors =
    SkinMask(kHeaderBackground) | SkinMask(kHeaderText) | SkinMask(kHeaderBorder);
constexpr unsigned kSelectionColors = SkinMask(kSelectionBackground) | SkinMask(kSelectionText);

// Reads the skin file at path (ANSI). False for a missing, unreadable, oversized or malformed
// file, one with a DTD, a root other than Skin, an unknown element or attribute, or a colour that
// does not parse; colors is then unchanged.
bool ReadSkinFile(const char* path, SkinColors& colors);
