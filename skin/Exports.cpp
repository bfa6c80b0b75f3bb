// Skin.dll's two entries, exported by ordinal only (Skin.def): 2 loads a skin, 3 releases it.
#include "SkinPainter.h"

extern "C" bool SkinLoad(const char* fullPath) {
    SkinColors colors;
    if (!ReadSkinFile(fullPath, colors)) {
        return false; // the current look stays
    }
    ApplySkin(colors);
    return true;
}

extern "C" void SkinRelease() {
    RemoveSkin();
}
