#pragma once
// A 1-bit dot picture resampled onto device pixels, for raster surfaces (the preview, PNG).

#include "gdi/DrawingContext.h"

#include <QImage>
#include <QRect>

#include <cstdint>

namespace quillon {

// The black dots of bitmap over a grid of columns x rows device pixels that the picture covers
// exactly, as a premultiplied ARGB image of the part `visible` of that grid (in the grid's own
// coordinates, inside it). A pixel that holds several dots is black with their share of ink as
// its opacity, so thin lines survive shrinking as grey; a dot that spans several pixels makes each
// of them wholly black or clear, so enlarged dots stay crisp. Paper is transparent. mirrorX and
// mirrorY turn the picture over. A null image when visible is empty, the grid is larger than 2^31
// pixels a side or the image cannot be made.
QImage rasterizeDots(const MonoBitmap& bitmap, int64_t columns, int64_t rows, const QRect& visible, bool mirrorX,
                     bool mirrorY);

} // namespace quillon
