// Paints the dialogs of the window class "Qarvo.MainDlg" on the calling thread in a skin's
// colours: those that exist and those created later.
#pragma once

#include "SkinFile.h"

// Applies colors to every such dialog now and to each one created later on this thread;
// replaces a skin applied before.
void ApplySkin(const SkinColors& colors);

// Gives every dialog its system look back and stops watching for new ones. Harmless when no
// skin is applied.
void RemoveSkin();
