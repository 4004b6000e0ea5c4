#pragma once
// What a report run shows on the desktop: the progress and cancel window, the wait cursor,
// pending events processed once per page, and the report's error box.

#include "report/ReportProgress.h"

#include <QString>

#include <memory>

namespace quillon {

class TPrCancelForm;

class WidgetProgress final : public ReportProgress {
public:
    WidgetProgress();
    ~WidgetProgress() override;

    TPrCancelForm& form() { return *m_form; }

    void setCaption(const std::string& caption) override;
    void setButtonText(const std::string& text) override;
    void setPageLabel(const std::string& label) override;
    void show() override;
    void hide() override;
    bool cancelRequested() const override;
    void processPendingMessages() override;
    void beginWaitCursor() override;
    void endWaitCursor() override;
    void showErrorBox(const std::string& text) override;

private:
    std::unique_ptr<TPrCancelForm> m_form;
};

// "\r\n" line ends of the program's texts, as Qt shows them.
QString displayText(const std::string& text);

} // namespace quillon
