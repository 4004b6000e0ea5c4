#include "PdfPrinter.h"

#include "PainterDevice.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>

#include <cups/cups.h>

#include <cmath>

namespace quillon {

namespace {

// PDF has no pixels: one device pixel is made one report unit (0.01 mm), so the page geometry
// that the report reads back is exact.
constexpr int kPdfDpi = 2540;

int32_t mmToPixels(qreal mm)
{
    return int32_t(std::llround(mm / 25.4 * kPdfDpi));
}

QPageLayout::Orientation qtOrientation(PrinterOrientation o)
{
    return o == PrinterOrientation::Landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
}

} // namespace

PdfPrinter::PdfPrinter(DosCodePage codePage, int dpi) : m_codePage(codePage), m_dpi(dpi) {}

PdfPrinter::~PdfPrinter()
{
    if (m_open && !oneFile())
        abortDoc();
    m_device.reset();
    if (m_painter && m_painter->isActive())
        m_painter->end();
}

void PdfPrinter::setOrientation(PrinterOrientation orientation)
{
    m_orientation = orientation;
}

QPageLayout PdfPrinter::currentLayout() const
{
    QPageLayout layout = m_baseLayout;
    layout.setOrientation(qtOrientation(m_orientation));
    return layout;
}

std::optional<PrinterPageMetrics> PdfPrinter::pageMetrics()
{
    if (!m_baseLayout.isValid())
        return std::nullopt;
    const QPageLayout layout = currentLayout();
    const QRectF full = layout.fullRect(QPageLayout::Millimeter);
    const QMarginsF margins = layout.margins(QPageLayout::Millimeter);
    PrinterPageMetrics m;
    m.orientation = m_orientation;
    m.dpiX = m_dpi;
    m.dpiY = m_dpi;
    m.printableWidth = mmToPixels(full.width() - margins.left() - margins.right());
    m.printableHeight = mmToPixels(full.height() - margins.top() - margins.bottom());
    m.offsetX = mmToPixels(margins.left());
    m.offsetY = mmToPixels(margins.top());
    if (m.printableWidth <= 0 || m.printableHeight <= 0)
        return std::nullopt;
    return m;
}

bool PdfPrinter::startWriter()
{
    m_path = documentPath();
    if (m_path.isEmpty()) {
        m_error = "no place for the print document";
        return false;
    }
    m_writer = std::make_unique<QPdfWriter>(m_path);
    m_writer->setResolution(m_dpi);
    m_writer->setPageLayout(currentLayout());
    m_writer->setTitle(QString::fromStdString(m_title));
    m_writer->setCreator(QStringLiteral("Quillon Print"));
    m_painter = std::make_unique<QPainter>();
    if (!m_painter->begin(m_writer.get())) {
        m_error = "cannot write " + m_path.toStdString();
        m_painter.reset();
        m_writer.reset();
        return false;
    }
    m_painter->setRenderHint(QPainter::Antialiasing);
    m_device = std::make_unique<PainterDevice>(*m_painter, m_codePage);
    return true;
}

bool PdfPrinter::beginDoc()
{
    if (m_open || !m_baseLayout.isValid())
        return false;
    m_error.clear();
    if (m_writer && oneFile()) {
        // The next document continues the same file, on a page of its own orientation.
        m_writer->setPageLayout(currentLayout());
        if (!m_writer->newPage())
            return false;
    } else if (!startWriter()) {
        return false;
    }
    m_open = true;
    ++m_pages;
    return true;
}

bool PdfPrinter::newPage()
{
    if (!m_open || !m_writer->newPage())
        return false;
    ++m_pages;
    return true;
}

bool PdfPrinter::closeWriter()
{
    if (!m_writer)
        return false;
    m_device.reset();
    bool ok = m_painter->end();
    m_painter.reset();
    m_writer.reset();
    return ok && QFile::exists(m_path);
}

bool PdfPrinter::endDoc()
{
    if (!m_open)
        return false;
    m_open = false;
    if (oneFile())
        return true;
    if (!closeWriter()) {
        m_error = "cannot write " + m_path.toStdString();
        QFile::remove(m_path);
        return false;
    }
    bool ok = deliver(m_path);
    QFile::remove(m_path);
    return ok;
}

bool PdfPrinter::abortDoc()
{
    if (!m_open)
        return false;
    m_open = false;
    if (!oneFile()) {
        closeWriter();
        QFile::remove(m_path);
    }
    return true;
}

DrawingContext* PdfPrinter::pageSurface()
{
    return m_open ? m_device.get() : nullptr;
}

PdfFilePrinter::PdfFilePrinter(const std::string& path, DosCodePage codePage)
    : PdfPrinter(codePage, kPdfDpi), m_file(QString::fromStdString(path))
{
    setBaseLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(),
                              QPageLayout::Millimeter));
}

PdfFilePrinter::~PdfFilePrinter()
{
    closeWriter();
}

bool PdfFilePrinter::finish()
{
    return closeWriter();
}

CupsPrinter::CupsPrinter(const std::string& name, DosCodePage codePage)
    : PdfPrinter(codePage, kPdfDpi), m_requested(name)
{
}

CupsPrinter::~CupsPrinter()
{
    if (!m_tempDir.isEmpty())
        QDir(m_tempDir).removeRecursively();
}

bool CupsPrinter::selectDefaultPrinter()
{
    QPrinterInfo info = m_requested.empty() ? QPrinterInfo::defaultPrinter()
                                            : QPrinterInfo::printerInfo(QString::fromStdString(m_requested));
    if (info.isNull()) {
        m_error = m_requested.empty() ? "no default printer" : "no printer named " + m_requested;
        return false;
    }
    m_name = info.printerName().toStdString();
    QPrinter printer(info, QPrinter::HighResolution);
    QPageLayout layout = printer.pageLayout();
    layout.setOrientation(QPageLayout::Portrait);
    if (!layout.isValid())
        layout = QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
    setBaseLayout(layout);
    return true;
}

bool CupsPrinter::choosePrinter(const std::string& name)
{
    if (name.empty() || QPrinterInfo::printerInfo(QString::fromStdString(name)).isNull())
        return false;
    m_requested = name;
    return selectDefaultPrinter();
}

QString CupsPrinter::documentPath()
{
    if (m_tempDir.isEmpty()) {
        QTemporaryDir dir(QDir::tempPath() + "/quillon-print-XXXXXX");
        if (!dir.isValid())
            return {};
        dir.setAutoRemove(false);
        m_tempDir = dir.path();
    }
    return m_tempDir + QString("/document-%1.pdf").arg(m_jobs.size() + 1);
}

bool CupsPrinter::deliver(const QString& path)
{
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, m_name.c_str(), nullptr);
    int numOptions = 0;
    cups_option_t* options = nullptr;
    if (dest) {
        for (int i = 0; i < dest->num_options; ++i)
            numOptions = cupsAddOption(dest->options[i].name, dest->options[i].value, numOptions, &options);
        cupsFreeDests(1, dest);
    }
    // The pages are drawn at their true size on the whole sheet: CUPS must not scale them.
    numOptions = cupsAddOption("print-scaling", "none", numOptions, &options);
    const QByteArray file = QFile::encodeName(path);
    int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, m_name.c_str(), file.constData(), m_title.c_str(),
                             numOptions, options);
    cupsFreeOptions(numOptions, options);
    if (job <= 0) {
        m_error = cupsLastErrorString();
        return false;
    }
    m_jobs.push_back(job);
    return true;
}

} // namespace quillon
