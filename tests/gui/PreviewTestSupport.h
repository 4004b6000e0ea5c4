#pragma once
// What the preview tests share: a report with a page store of numbered pages on a fake printer,
// and helpers that act in modal dialogs and answer error boxes.

#include "PageStoreDocument.h"
#include "WidgetProgress.h"
#include "posix/PosixFileAccess.h"
#include "report/VxCanvas.h"
#include "report/VxReport.h"

#include "core/FakePrinter.h"
#include "core/TestFiles.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

namespace quillon::test {

class NamedPrinter : public FakePrinter {
public:
    std::string name = "Biuro";
    std::function<void(int)> onBegin; // called with the number of the document begun
    std::string printerName() const override { return name; }
    bool choosePrinter(const std::string& n) override
    {
        name = n;
        return true;
    }
    bool beginDoc() override
    {
        const bool ok = FakePrinter::beginDoc();
        if (onBegin)
            onBegin(begins);
        return ok;
    }
    // The text of every page printed, in order ("page 3", ...).
    std::vector<std::string> printed() const
    {
        std::vector<std::string> out;
        for (const auto& t : surface.texts)
            out.push_back(t.bytes);
        return out;
    }
};

// A stored report of count pages, "page N" on each; landscape pages where asked.
struct StoredReport {
    explicit StoredReport(int count, std::function<bool(int)> landscape = {})
        : files(dir.path()), report(printer, files, progress)
    {
        report.ReportFile = "preview.vxr";
        report.ReportTitle = "Raport próbny";
        report.OnPaintPage = [count, landscape](TVxReport& r, TVxCanvas& c, bool& stop) {
            const std::string text = "page " + std::to_string(r.PageNo());
            std::vector<int32_t> dx(text.size(), 254);
            c.handle().extTextOutA({0, 423}, 0, nullptr, text, {dx.data(), text.size()});
            // Settings made while painting page n apply to page n + 1.
            r.PaperOrient = landscape && landscape(r.PageNo() + 1) ? vxLandscape : vxPortrait;
            stop = r.PageNo() >= count;
        };
        if (landscape && landscape(1))
            report.PaperOrient = vxLandscape;
        ok = report.Run() && report.OpenPageStore();
        report.OnPaintPage = nullptr;
        document = std::make_unique<PageStoreDocument>(report, DosCodePage::Cp852);
    }
    TempDir dir;
    NamedPrinter printer;
    PosixFileAccess files;
    WidgetProgress progress;
    TVxReport report;
    std::unique_ptr<PageStoreDocument> document;
    bool ok = false;
};

// Runs act on the first visible window of type T once one shows (a modal dialog being run). The
// watch ends then; a caller that expects no window ends it by deleting the timer returned.
template <class T>
QPointer<QTimer> whenShown(std::function<void(T&)> act)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<T*>(w); window && window->isVisible()) {
                timer->stop();
                timer->deleteLater();
                act(*window);
                return;
            }
    });
    timer->start();
    return timer;
}

// Answers every error box that shows while it lives, keeping the texts.
class ErrorBoxes {
public:
    ErrorBoxes()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    texts.push_back(box->text().toStdString());
                    box->accept();
                }
        });
        m_timer.start();
    }
    std::vector<std::string> texts;

private:
    QTimer m_timer;
};

} // namespace quillon::test
