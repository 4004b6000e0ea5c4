#pragma once
// What a report run shows while it works: the progress and cancel window (or the wait cursor),
// and the one point per page where the user interface gets to process its pending messages.

#include <string>

namespace quillon {

class ReportProgress {
public:
    virtual ~ReportProgress() = default;
    virtual void setCaption(const std::string& caption) = 0;
    virtual void setButtonText(const std::string& text) = 0;
    virtual void setPageLabel(const std::string& label) = 0;
    // Shows the window without making it modal; clears its page label and its cancel request.
    virtual void show() = 0;
    virtual void hide() = 0;
    virtual bool cancelRequested() const = 0;
    virtual void processPendingMessages() = 0;
    virtual void beginWaitCursor() = 0;
    virtual void endWaitCursor() = 0;
    // A modal error box with the error icon and one OK button.
    virtual void showErrorBox(const std::string& text) = 0;
};

// For runs without a user interface: nothing shows and nothing is ever cancelled.
class SilentProgress : public ReportProgress {
public:
    void setCaption(const std::string&) override {}
    void setButtonText(const std::string&) override {}
    void setPageLabel(const std::string&) override {}
    void show() override {}
    void hide() override {}
    bool cancelRequested() const override { return false; }
    void processPendingMessages() override {}
    void beginWaitCursor() override {}
    void endWaitCursor() override {}
    void showErrorBox(const std::string&) override {}
};

} // namespace quillon
