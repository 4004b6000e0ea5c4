#pragma once
// A page picture drawn into an image, as the preview and the PNG export show it.

#include "gdi/CodePage.h"
#include "gdi/DrawingContext.h"

#include <QImage>

class QPainter;

#include <cstdint>
#include <span>

namespace quillon {

// Plays the picture onto painter, its origin at origin (0.01 mm from the painter's origin), with
// viewportExt / windowExt device units per 0.01 mm.
void drawPagePicture(QPainter& painter, std::span<const uint8_t> emf, Point origin, Size windowExt,
                     Size viewportExt, DosCodePage cp);

// Draws the picture on a white sheet. paper: the sheet in 0.01 mm as shown (already turned for
// landscape); origin: where the picture's origin lies on the sheet, in 0.01 mm (the page's left and
// top margins); dpi: pixels per inch of the image; cp: the DOS code page of OEM text.
// Returns a null image when the picture has no valid header or the sheet cannot be made; a
// partly damaged picture draws what it can.
QImage renderPageImage(std::span<const uint8_t> emf, Size paper, Point origin, int dpi, DosCodePage cp);

} // namespace quillon
