#include "PreviewRun.h"

#include "AppFactory.h"
#include "PreviewForm.h"
#include "WidgetProgress.h"
#include "report/VxReport.h"

namespace quillon {

JobResult previewFile(const RenderOptions& options)
{
    WidgetProgress progress;
    StorePreview pages(progress);
    if (JobResult opened = pages.open(options); !opened.ok())
        return opened;
    TPreviewForm form;
    form.setCodePage(options.codePage);
    TVxReport& report = pages.report();
    report.setViewer(&form);
    report.ShowReport("Normal");
    report.setViewer(nullptr);
    return {};
}

} // namespace quillon
