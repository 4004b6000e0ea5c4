#pragma once
// poppler-utils as the tests' PDF reader: page sizes and text of a printed document.

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace quillon::test {

struct PdfPage {
    double width = 0; // points
    double height = 0;
    bool landscape() const { return width > height; }
};

inline QString runTool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline std::vector<PdfPage> pdfPages(const std::string& file)
{
    std::vector<PdfPage> pages;
    QString info = runTool("pdfinfo", {"-f", "1", "-l", "100000", QString::fromStdString(file)});
    QRegularExpression re(R"(Page\s+\d+ size:\s+([\d.]+) x ([\d.]+) pts)");
    auto it = re.globalMatch(info);
    while (it.hasNext()) {
        auto m = it.next();
        pages.push_back({m.captured(1).toDouble(), m.captured(2).toDouble()});
    }
    return pages;
}

inline std::string pdfTitle(const std::string& file)
{
    QString info = runTool("pdfinfo", {QString::fromStdString(file)});
    QRegularExpression re(R"(Title:\s+(.*))");
    auto m = re.match(info);
    return m.hasMatch() ? m.captured(1).trimmed().toStdString() : std::string();
}

// The text laid out at 10 characters per inch, the printer's own grid.
inline std::string pdfText(const std::string& file, int page = 0)
{
    QStringList args{"-layout", "-fixed", "7.2"};
    if (page > 0)
        args << "-f" << QString::number(page) << "-l" << QString::number(page);
    args << QString::fromStdString(file) << "-";
    return runTool("pdftotext", args).toStdString();
}

} // namespace quillon::test
