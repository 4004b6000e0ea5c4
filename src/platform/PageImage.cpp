#include "PageImage.h"
#include "Units.h"

#include "PainterDevice.h"
#include "gdi/EmfFormat.h"
#include "gdi/EmfPlayer.h"

#include <QPainter>

#include <cmath>

namespace quillon {

namespace {

// Larger sheets than this come only from nonsense sizes (A0 at 600 dpi is about 20000 pixels).
constexpr int64_t kMaxSide = 40000;
constexpr int64_t kMaxPixels = int64_t(400) * 1000 * 1000;

} // namespace

void drawPagePicture(QPainter& painter, std::span<const uint8_t> emf, Point origin, Size windowExt,
                     Size viewportExt, DosCodePage cp)
{
    PainterDevice device(painter, cp);
    device.setMapMode(kMmAnisotropic);
    device.setWindowExt(windowExt);
    device.setViewportExt(viewportExt);
    playEmf(emf, device, origin);
}

QImage renderPageImage(std::span<const uint8_t> emf, Size paper, Point origin, int dpi, DosCodePage cp)
{
    if (!emf::parseHeader(emf))
        return {};
    if (dpi <= 0 || dpi > 9600 || paper.cx <= 0 || paper.cy <= 0)
        return {};
    const int64_t width = std::llround(double(paper.cx) / double(kUnitsPerInch) * dpi);
    const int64_t height = std::llround(double(paper.cy) / double(kUnitsPerInch) * dpi);
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide || width * height > kMaxPixels)
        return {};

    QImage image(int(width), int(height), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    image.fill(Qt::white);
    const int dotsPerMeter = int(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // One logical unit is 0.01 mm.
    drawPagePicture(painter, emf, origin, {kUnitsPerInch, kUnitsPerInch}, {dpi, dpi}, cp);
    painter.end();
    return image;
}

} // namespace quillon
