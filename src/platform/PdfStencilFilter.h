#pragma once
// Between Qt's PDF engine and the file: makes the opaque 1-bit grey images of dot pictures
// stencil masks.
//
// Qt's PDF engine (6.4) writes a 1-bit image with a black-and-white colour table as an opaque
// 1-bit grey image and has no way to write a stencil mask, an image that paints the fill colour
// where its bits are 1 and leaves the page elsewhere. PainterDevice draws its dot pictures as such
// images (with setPdfStencils()); this filter turns the "/BitsPerComponent 1 /ColorSpace
// /DeviceGray" part of each one's dictionary into "/ImageMask true /Decode [1 0]", padded to the
// same length so that every offset in the file stays right. Qt writes that part in one write of
// its own, separate from the image's data, so only whole writes are compared: bytes inside a
// stream never match. Nothing else in the program's PDFs is a 1-bit grey image.

#include <QByteArray>
#include <QIODevice>

#include <cstring>

namespace quillon {

class PdfStencilFilter final : public QIODevice {
public:
    // target is borrowed and outlives the filter.
    explicit PdfStencilFilter(QIODevice& target) : m_target(target) { open(QIODevice::WriteOnly); }

    bool isSequential() const override { return true; }
    // Images turned into stencil masks so far.
    int stencils() const { return m_stencils; }

    static constexpr char kGreyImage[] = "/BitsPerComponent 1\n/ColorSpace /DeviceGray\n";
    static constexpr char kStencil[] = "/ImageMask true\n/Decode [1 0]\n             \n";
    static_assert(sizeof kGreyImage == sizeof kStencil, "the dictionary keeps its length");

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (size == qint64(sizeof kGreyImage - 1) && std::memcmp(data, kGreyImage, size_t(size)) == 0) {
            ++m_stencils;
            data = kStencil;
        }
        return m_target.write(data, size);
    }

private:
    QIODevice& m_target;
    int m_stencils = 0;
};

} // namespace quillon
