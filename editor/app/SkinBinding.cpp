// The editor's side of Skin.dll: which file each skin number names, loading and releasing.
#include "AppConfig.h"
#include "MenuApp.h"

#include <iterator>

// Skin.dll's entries, imported by ordinal: 2 loads a skin, 3 releases it.
extern "C" bool SkinLoad(const char* fullPath);
extern "C" void SkinRelease();

namespace {

// Skin number n names entry n - 1, relative to the application folder.
constexpr const char* kSkinFiles[] = {
    "Skin\\Pying\\skin_pying.xml",
    "Skin\\Wguang\\skin_wguang.xml",
    "Skin\\Zzhong\\skin_zzhong.xml",
    "Skin\\Mmo\\skin_mmo.xml",
};
static_assert(std::size(kSkinFiles) == CMenuApp::kSkinCount);

} // namespace

bool CMenuApp::LoadSkin(int skinType) {
    if (skinType < 1 || skinType > kSkinCount) {
        return false;
    }
    // A path over the 255 characters of the path buffer is refused, not cut short.
    std::string path;
    if (!AppFilePath(kSkinFiles[skinType - 1], path) || !SkinLoad(path.c_str())) {
        return false;
    }
    m_bSkinLoaded = TRUE;
    return true;
}

void CMenuApp::ReleaseSkin() {
    if (m_bSkinLoaded) {
        SkinRelease();
        m_bSkinLoaded = FALSE;
    }
}
