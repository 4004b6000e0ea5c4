#pragma once
// The preview window as the report sees it. The desktop provides the window; tests fake it. The
// report's ShowReport opens the page store, prepares the window through this and shows it.

#include <string>

namespace quillon {

class TVxReport;

enum class ViewerWindowState { Unchanged, Normal, Maximized, Minimized };

// "MAXIMIZED", "MINIMIZED" or "NORMAL" in any letter case; any other word leaves the state as it is.
ViewerWindowState viewerWindowStateFromWord(const std::string& word);

class ReportViewer {
public:
    virtual ~ReportViewer() = default;

    virtual void setViewerState(ViewerWindowState state) = 0;
    // The sizing of the first display in the normal state: done once per process, when the
    // window's state is normal at that time.
    virtual void prepareFirstShow() = 0;
    virtual void setViewerCaption(const std::string& caption) = 0;
    // Shows the pages of the report's open page store modally; returns when the window closes.
    virtual void showPages(TVxReport& report) = 0;
};

} // namespace quillon
