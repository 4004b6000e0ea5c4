#pragma once
// Page progress of a command-line run, shown on standard error when it is a terminal.

#include "report/ReportProgress.h"

#include <cstdio>
#include <string>

namespace quillon {

class TerminalProgress final : public SilentProgress {
public:
    void setPageLabel(const std::string& label) override
    {
        std::fprintf(stderr, "\r%s", label.c_str());
        m_shown = true;
    }
    void hide() override
    {
        if (m_shown)
            std::fputc('\n', stderr);
        m_shown = false;
    }

private:
    bool m_shown = false;
};

} // namespace quillon
