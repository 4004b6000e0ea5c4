#include "PdfPrinter.h"
#include "Units.h"

#include "CupsQueue.h"
#include "CupsUploadJournal.h"
#include "DescriptorDevice.h"
#include "PainterDevice.h"
#include "PdfStencilFilter.h"
#include "TextUtil.h"
#include "posix/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPdfWriter>

#include <cups/cups.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cmath>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace quillon {

namespace {

// PDF has no pixels: one device pixel is made one report unit (0.01 mm), so the page geometry
// that the report reads back is exact.
constexpr int kPdfDpi = kUnitsPerInch;

// Whether the scheduler answers at all. libcups reports a scheduler it cannot reach in several
// ways (an internal error naming the socket's errno, a missing default destination), so ask.
bool schedulerReachable(std::string* why = nullptr)
{
    http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 5000, nullptr);
    if (!http) {
        // libcups keeps the cause; errno is gone by the time httpConnect2 has cleaned up.
        if (why)
            *why = std::string(cupsServer()) + ": " + cupsLastErrorString();
        return false;
    }
    httpClose(http);
    return true;
}

// The print service could not be reached or was busy: the job may go through later.
bool isTransient(ipp_status_t status)
{
    return status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE || status == IPP_STATUS_ERROR_BUSY
        || status == IPP_STATUS_ERROR_TEMPORARY || status == IPP_STATUS_ERROR_TIMEOUT || !schedulerReachable();
}

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

void PdfPrinter::setDocumentTitle(const std::string& title)
{
    m_title = validUtf8(title, m_codePage);
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
    m_docFd = documentFile();
    if (m_docFd < 0)
        return false;
    m_sink = std::make_unique<DescriptorDevice>(m_docFd);
    m_stencils = std::make_unique<PdfStencilFilter>(*m_sink);
    m_writer = std::make_unique<QPdfWriter>(m_stencils.get());
    m_writer->setResolution(m_dpi);
    m_writer->setPageLayout(currentLayout());
    m_writer->setTitle(QString::fromStdString(m_title));
    m_writer->setCreator(QStringLiteral("Quillon Print"));
    m_painter = std::make_unique<QPainter>();
    if (!m_painter->begin(m_writer.get())) {
        m_error = "cannot make the print document";
        m_painter.reset();
        m_writer.reset();
        m_stencils.reset();
        m_sink.reset();
        return false;
    }
    m_painter->setRenderHint(QPainter::Antialiasing);
    m_device = std::make_unique<PainterDevice>(*m_painter, m_codePage);
    m_device->setPdfStencils(true);
    return true;
}

void PdfPrinter::noteFullDisk(int error, const std::string& folder)
{
    if ((error == ENOSPC || error == EDQUOT) && !folder.empty()) {
        m_transient = true;
        m_fullFolder = folder;
    }
}

bool PdfPrinter::beginDoc()
{
    if (m_open || !m_baseLayout.isValid())
        return false;
    m_error.clear();
    m_transient = false;
    m_fullFolder.clear();
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
    const bool ended = m_painter->end();
    m_painter.reset();
    m_writer.reset();
    m_stencils.reset();
    const int failure = m_sink->failure();
    m_sink.reset();
    // A PDF ends with its end-of-file marker; anything less is cut off.
    char tail[64] = {};
    const off_t size = ::lseek(m_docFd, 0, SEEK_END);
    const size_t got = size > 0 ? readFullyAt(m_docFd, tail, std::min<size_t>(sizeof tail - 1, size_t(size)),
                                              size - std::min<off_t>(off_t(sizeof tail - 1), size))
                                : 0;
    const bool whole = ended && failure == 0 && std::string_view(tail, got).find("%%EOF") != std::string_view::npos;
    if (failure) {
        m_error = std::string("cannot write the print document: ") + std::strerror(failure);
        noteFullDisk(failure, m_docFolder);
    }
    else if (!whole)
        m_error = "the PDF writer failed";
    return whole;
}

bool PdfPrinter::endDoc()
{
    if (!m_open)
        return false;
    m_open = false;
    if (oneFile())
        return true;
    const bool ok = closeWriter() && deliver(m_docFd, int64_t(::lseek(m_docFd, 0, SEEK_END)));
    documentClosed();
    return ok;
}

bool PdfPrinter::abortDoc()
{
    if (!m_open)
        return false;
    m_open = false;
    if (!oneFile()) {
        closeWriter();
        documentClosed();
    }
    return true;
}

DrawingContext* PdfPrinter::pageSurface()
{
    return m_open ? m_device.get() : nullptr;
}

PdfFilePrinter::PdfFilePrinter(const std::string& path, DosCodePage codePage)
    : PdfPrinter(codePage, kPdfDpi), m_file(path)
{
    setBaseLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(),
                              QPageLayout::Millimeter));
}

PdfFilePrinter::~PdfFilePrinter()
{
    // The PDF writer lets go of the file before the file, unfinished, is thrown away.
    closeWriter();
}

int PdfFilePrinter::documentFile()
{
    // Written beside its name and put under it by finish() only when whole.
    if (m_file.fd() < 0 && !m_file.open(m_error))
        return -1;
    return m_file.fd();
}

bool PdfFilePrinter::finish()
{
    return closeWriter() && m_file.commit(m_error);
}

CupsPrinter::CupsPrinter(const std::string& name, DosCodePage codePage)
    : PdfPrinter(codePage, kPdfDpi), m_requested(name)
{
}

CupsPrinter::~CupsPrinter()
{
    if (printing())
        abortDoc();
    documentClosed();
}

void CupsPrinter::setJobOwner(const std::string& user, const std::string& title, int copies)
{
    m_user = user;
    m_jobTitle = validUtf8(title, codePage());
    m_copies = copies;
}

bool CupsPrinter::selectDefaultPrinter()
{
    m_transient = false;
    m_fullFolder.clear();
    std::optional<CupsQueue> queue = m_opened ? std::exchange(m_opened, std::nullopt) : openCupsQueue(m_requested);
    if (!queue) {
        m_error = m_requested.empty() ? "no default printer" : "no printer named " + m_requested;
        // Whether there is no such printer, or no print service to ask.
        std::string why;
        if (!schedulerReachable(&why)) {
            m_error = "the print service cannot be reached: " + why;
            m_transient = true;
        }
        return false;
    }
    m_name = queue->name;
    m_queueOptions = std::move(queue->options);
    setBaseLayout(queue->sheet);
    return true;
}

bool CupsPrinter::choosePrinter(const std::string& name)
{
    if (name.empty())
        return false;
    std::optional<CupsQueue> queue = openCupsQueue(name);
    if (!queue)
        return false;
    m_requested = name;
    m_opened = std::move(queue);
    return selectDefaultPrinter();
}

int CupsPrinter::documentFile()
{
    // The queue makes the document's job while its pages are drawn.
    if (m_createEarly)
        createJobEarly();
    if (m_inMemory) {
        m_docFolder.clear();
        m_docFile = ::memfd_create("quillon-print", MFD_CLOEXEC);
        if (m_docFile < 0) {
            const int error = errno;
            m_error = std::string("cannot make the print document in memory: ") + std::strerror(error);
        }
        return m_docFile;
    }
    m_docFolder = QDir::tempPath().toStdString();
    std::string path = m_docFolder + "/quillon-print-XXXXXX";
    m_docFile = ::mkostemp(path.data(), O_CLOEXEC);
    if (m_docFile < 0) {
        const int error = errno;
        m_error = "cannot make the print document in " + m_docFolder + ": " + std::strerror(error);
        noteFullDisk(error, m_docFolder);
        return -1;
    }
    ::unlink(path.c_str());
    return m_docFile;
}

void CupsPrinter::documentClosed()
{
    // A job made for a document that never came to its end goes again.
    cancelEarlyJob();
    if (m_docFile >= 0)
        ::close(m_docFile);
    m_docFile = -1;
}

namespace {

// The queue a name stands for in requests to the scheduler: an instance ("name/instance") is the
// client's own set of options for the queue, unknown to the scheduler.
std::string schedulerQueue(const std::string& name)
{
    return name.substr(0, name.find('/'));
}

// libcups sends its current user as the requesting user, and keeps it per thread: requests made
// while this lives are made on behalf of user (empty: this process's user).
class RequestsAsUser {
public:
    explicit RequestsAsUser(const std::string& user) : m_own(cupsUser()), m_changed(!user.empty())
    {
        if (m_changed)
            cupsSetUser(user.c_str());
    }
    ~RequestsAsUser()
    {
        if (m_changed)
            cupsSetUser(m_own.c_str());
    }
    RequestsAsUser(const RequestsAsUser&) = delete;
    RequestsAsUser& operator=(const RequestsAsUser&) = delete;

private:
    std::string m_own;
    bool m_changed;
};

} // namespace

// Makes the job for a document in queue on behalf of user (empty: this process's user), with
// options. libcups keeps its user and its last error per thread: the job may be made on a thread of
// its own.
CupsPrinter::CreatedJob CupsPrinter::createJob(const std::string& queue, const std::string& title,
                                               const std::string& user,
                                               const std::vector<std::pair<std::string, std::string>>& options)
{
    int count = 0;
    cups_option_t* list = nullptr;
    for (const auto& [name, value] : options)
        count = cupsAddOption(name.c_str(), value.c_str(), count, &list);
    const RequestsAsUser asUser(user);
    // One Create-Job request, as cupsCreateJob sends it, without the two rounds of printer
    // attributes it asks for first: the queue was asked already when it was opened.
    const std::string resource = "/printers/" + schedulerQueue(queue);
    char uri[HTTP_MAX_URI];
    httpAssembleURI(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), resource.c_str());
    ipp_t* request = ippNewRequest(IPP_OP_CREATE_JOB);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    if (!title.empty())
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, title.c_str());
    for (ipp_tag_t group : {IPP_TAG_OPERATION, IPP_TAG_JOB, IPP_TAG_SUBSCRIPTION})
        cupsEncodeOptions2(request, count, list, group);
    cupsFreeOptions(count, list);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, resource.c_str());
    CreatedJob job;
    job.status = int(cupsLastError());
    job.error = cupsLastErrorString();
    ipp_attribute_t* id = ippFindAttribute(response, "job-id", IPP_TAG_INTEGER);
    job.id = id && job.status < IPP_STATUS_REDIRECTION_OTHER_SITE ? ippGetInteger(id, 0) : 0;
    ippDelete(response);
    return job;
}

std::vector<std::pair<std::string, std::string>> CupsPrinter::jobOptions() const
{
    auto options = m_queueOptions;
    // The pages are drawn at their true size on the whole sheet: CUPS must not scale them.
    options.emplace_back("print-scaling", "none");
    if (m_copies > 1)
        options.emplace_back("copies", std::to_string(m_copies));
    return options;
}

const std::string& CupsPrinter::jobTitle() const
{
    return m_jobTitle.empty() ? m_title : m_jobTitle;
}

void CupsPrinter::createJobEarly()
{
    m_earlyJob = std::async(std::launch::async, createJob, m_name, jobTitle(), m_user, jobOptions());
}

void CupsPrinter::cancelEarlyJob()
{
    if (!m_earlyJob.valid())
        return;
    const CreatedJob job = m_earlyJob.get();
    if (job.id <= 0)
        return;
    const RequestsAsUser asUser(m_user);
    cupsCancelJob2(CUPS_HTTP_DEFAULT, schedulerQueue(m_name).c_str(), job.id, 0);
}

bool CupsPrinter::deliver(int fd, int64_t size)
{
    m_transient = false;
    m_fullFolder.clear();
    m_refusal = 0;
    const std::string& title = jobTitle();
    const CreatedJob created = m_earlyJob.valid() ? m_earlyJob.get() : createJob(m_name, title, m_user, jobOptions());
    const int job = created.id;
    bool ok = job > 0;
    // Should the program end before the whole document is up, the next start cancels the job.
    const std::string queue = schedulerQueue(m_name);
    std::optional<CupsUploadNote> note;
    if (ok && !m_uploadJournal.empty())
        note.emplace(m_uploadJournal, queue, job);
    const RequestsAsUser asUser(m_user);
    if (ok) {
        ok = cupsStartDocument(CUPS_HTTP_DEFAULT, queue.c_str(), job, title.c_str(), CUPS_FORMAT_PDF, 1)
            == HTTP_STATUS_CONTINUE;
        std::vector<char> chunk(65536);
        for (int64_t at = 0; ok && at < size; at += int64_t(chunk.size())) {
            const size_t want = size_t(std::min<int64_t>(int64_t(chunk.size()), size - at));
            if (readFullyAt(fd, chunk.data(), want, off_t(at)) != want) {
                ok = false;
                break;
            }
            ok = cupsWriteRequestData(CUPS_HTTP_DEFAULT, chunk.data(), want) == HTTP_STATUS_CONTINUE;
        }
        const bool finished = cupsFinishDocument(CUPS_HTTP_DEFAULT, queue.c_str()) == IPP_STATUS_OK;
        ok = ok && finished;
    }
    if (!ok) {
        const ipp_status_t status = job > 0 ? cupsLastError() : ipp_status_t(created.status);
        m_error = job > 0 ? cupsLastErrorString() : created.error;
        m_refusal = status == IPP_STATUS_OK ? int(IPP_STATUS_ERROR_INTERNAL) : int(status);
        m_transient = isTransient(status);
        // A job that did not get its whole document must not print part of it.
        if (job > 0)
            cupsCancelJob2(CUPS_HTTP_DEFAULT, queue.c_str(), job, 0);
    } else {
        m_jobs.push_back(job);
    }
    return ok;
}

} // namespace quillon
