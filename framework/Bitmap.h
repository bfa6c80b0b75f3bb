// Pictures at the size a layout gives them.
#pragma once

#include "Owners.h"

#include <windows.h>

// A copy of source, height pixels high with its proportions kept, each pixel the average of the
// source area it covers: made smaller, it stays sharp and free of the jagged edges and dropped
// lines of the system's own stretching. It is then width pixels wide: cut equally at its left and
// right edges, or continued by repeating its edge columns (a picture whose sides are plain
// background fills any frame that way, undistorted). 24 bits per pixel; empty when source cannot
// be read.
win32::CBitmap ScaleBitmap(HBITMAP source, int width, int height);
