// The queue and the sheet that the printing path asks of CUPS itself are the ones Qt's print
// support finds: the same name for the default, the same A4 sheet and the same unprintable borders,
// for a raw queue, for queues with a PPD (wide borders, and none at all) and for a class.

#include "CupsScheduler.h"

#include "CupsQueue.h"

#include <QPrinter>
#include <QPrinterInfo>

#include <gtest/gtest.h>

using quillon::test::CupsScheduler;

namespace {

std::string describe(const QPageLayout& layout)
{
    const QRectF sheet = layout.fullRect(QPageLayout::Millimeter);
    const QMarginsF m = layout.margins(QPageLayout::Millimeter);
    char text[160];
    std::snprintf(text, sizeof text, "%.2f x %.2f mm, borders %.2f %.2f %.2f %.2f mm", sheet.width(), sheet.height(),
                  m.left(), m.top(), m.right(), m.bottom());
    return text;
}

} // namespace

TEST(CupsQueue, TheDefaultQueueAndEachSheetAreTheOnesQtFinds)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a private cupsd";
    CupsScheduler cups;
    ASSERT_TRUE(cups.ok()) << cups.error();
    ASSERT_TRUE(cups.addQueue("raw", true)) << cups.error();
    // Sample drivers of CUPS itself: a printer with 18-point borders, a label printer without any.
    for (auto [name, model] : {std::pair{"epson", "drv:///sample.drv/epson9.ppd"}, {"labels", "drv:///sample.drv/zebra.ppd"}})
        ASSERT_EQ(CupsScheduler::run({"lpadmin", "-p", name, "-E", "-v", "file:/dev/null", "-m", model}).exitCode, 0);
    // A class prints on the sheet of the member that has the PPD.
    ASSERT_EQ(CupsScheduler::run({"lpadmin", "-p", "epson", "-c", "epsons"}).exitCode, 0);

    const auto queueName = [](const std::string& requested) -> std::optional<std::string> {
        const std::optional<quillon::CupsQueue> queue = quillon::openCupsQueue(requested);
        return queue ? std::optional(queue->name) : std::nullopt;
    };
    EXPECT_EQ(queueName(""), QPrinterInfo::defaultPrinterName().toStdString());
    EXPECT_EQ(queueName("epson"), "epson");
    EXPECT_EQ(queueName("nosuch"), std::nullopt);
    bool wideBorders = false;
    for (const char* name : {"raw", "epson", "labels", "epsons"}) {
        QPrinter printer(QPrinterInfo::printerInfo(QString::fromLatin1(name)), QPrinter::HighResolution);
        const std::string qt = describe(printer.pageLayout());
        const std::optional<quillon::CupsQueue> queue = quillon::openCupsQueue(name);
        ASSERT_TRUE(queue) << name;
        EXPECT_EQ(describe(queue->sheet), qt) << name;
        wideBorders = wideBorders || queue->sheet.margins(QPageLayout::Millimeter).left() > 5;
    }
    EXPECT_TRUE(wideBorders) << "no queue with borders of its own: the PPD was not read";
}
