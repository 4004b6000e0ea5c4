// The quillon backend on its own, as cupsd starts it: what it answers, the codes it exits with and
// the files it leaves (none) when a job is bad or cancelled.

#include "BackendProcess.h"
#include "PdfTools.h"
#include "core/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

using namespace quillon::test;
namespace fs = std::filesystem;

namespace {

constexpr int kOk = 0, kFailed = 1, kStop = 4;

class BackendProcess : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directory(pdfDir()); }
    std::string pdfDir() const { return dir.file("pdf"); }
    std::string pdfUri(const std::string& query = {}) const { return "quillon:/pdf" + pdfDir() + query; }
    std::string tmpDir() const { return tmp.path(); }

    TempDir dir;
    TempDir tmp; // the backend's TMPDIR: must be left empty
};

} // namespace

TEST_F(BackendProcess, ListsItsDeviceForLpinfo)
{
    BackendRun r = runBackend({}, "", tmpDir());
    EXPECT_EQ(r.exitCode, kOk);
    EXPECT_EQ(r.out, "network quillon \"Unknown\" \"Quillon Print (DOS)\"\n");
}

TEST_F(BackendProcess, WritesAJobFromStandardInputAsAPdfNamedAfterItsTitle)
{
    BackendRun r = runBackend({"17", "jan", "Raport: kasa/01", "1", ""}, pdfUri("?orientation=L"),
                              tmpDir(), "Strona 1\fStrona 2\f");
    ASSERT_EQ(r.exitCode, kOk) << r.err;
    const std::string pdf = pdfDir() + "/17-Raport__kasa_01.pdf";
    auto pages = pdfPages(pdf);
    ASSERT_EQ(pages.size(), 2u) << r.err;
    EXPECT_TRUE(pages[0].landscape());
    EXPECT_NE(r.err.find("PAGE: 2 1"), std::string::npos) << r.err;
    EXPECT_EQ(entries(pdfDir()), 1u);
    EXPECT_EQ(entries(tmpDir()), 0u);
}

TEST_F(BackendProcess, BadJobsFailWithAReasonAndLeaveNothingBehind)
{
    struct Case {
        const char* what;
        std::string input;
        std::string uriQuery;
        std::string options;
        int exitCode;
        const char* error;
    };
    const Case cases[] = {
        {"empty", "", "", "", kFailed, "ERROR: the job is empty"},
        {"a PDF", "%PDF-1.4\n%\xe2\xe3\n1 0 obj", "", "", kFailed, "ERROR: the job is a PDF document"},
        {"a page store", std::string(40, 'x') + std::string(4, '\0') + "TVxReport-Ver-1", "", "",
         kFailed, "ERROR: the job is a Quillon Print page store"},
        {"a bad job option", "tekst", "", "font-size=40 job-uuid=urn:x", kFailed,
         "ERROR: the job's option font-size takes a whole number from 6 to 12"},
        {"a bad URI option", "tekst", "?code-page=1250", "", kStop, "ERROR: the queue's device URI: code-page"},
        {"a bad job emulation", "tekst", "", "emulation=FX", kFailed,
         "ERROR: the job's option emulation takes simple, fx or lq, not \"FX\""},
        {"a bad URI emulation", "tekst", "?emulation=24", "", kStop,
         "ERROR: the queue's device URI: emulation takes simple, fx or lq, not \"24\""},
        {"an unknown URI option", "tekst", "?colour=red", "", kStop,
         "unknown option \"colour\" (known: font-size, orientation, code-page, emulation; mode"},
        {"a mode that is not octal", "tekst", "?mode=u%3Drw", "", kStop, "mode takes the octal permissions of the PDFs"},
        {"a set-id mode", "tekst", "?mode=4644", "", kStop, "mode \"4644\" sets the set-user-ID"},
        {"a mode writable by others", "tekst", "?mode=0666", "", kStop, "mode \"0666\" would let everyone change"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BackendRun r = runBackend({"5", "jan", "t", "1", QString::fromStdString(c.options)},
                                  pdfUri(c.uriQuery), tmpDir(), c.input);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
        EXPECT_EQ(entries(pdfDir()), 0u);
        EXPECT_EQ(entries(tmpDir()), 0u);
    }
    BackendRun r = runBackend({"5", "jan", "t", "1", ""}, "quillon:/pdf" + dir.file("nowhere"), tmpDir(), "x");
    EXPECT_EQ(r.exitCode, kStop) << "a folder it cannot write stops the queue";
    EXPECT_NE(r.err.find("ERROR: cannot write into " + dir.file("nowhere")), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(": No such file or directory"), std::string::npos) << "the real cause: " << r.err;
    r = runBackend({"5", "jan", "t", "1", ""}, "quillon:/paper?mode=0644", tmpDir(), "x");
    EXPECT_EQ(r.exitCode, kStop) << "a mode is for PDF folders only";
    EXPECT_NE(r.err.find("unknown option \"mode\""), std::string::npos) << r.err;
    r = runBackend({"x5", "jan", "t", "1", ""}, pdfUri(), tmpDir(), "x");
    EXPECT_EQ(r.exitCode, kFailed);
    EXPECT_EQ(entries(tmpDir()), 0u);
}

TEST_F(BackendProcess, ACancelledJobStopsAndLeavesNoFiles)
{
    std::string err;
    const auto p = startLongJob(pdfUri(), tmpDir(), err);
    ASSERT_TRUE(p) << err;
    ::kill(pid_t(p->processId()), SIGTERM);
    ASSERT_TRUE(p->waitForFinished(10000));
    err += p->readAllStandardError().toStdString();
    EXPECT_NE(err.find("INFO: Job cancelled"), std::string::npos) << err;
    EXPECT_EQ(err.find("Rendering page 2000"), std::string::npos);
    EXPECT_EQ(entries(pdfDir()), 0u);
    EXPECT_EQ(entries(tmpDir()), 0u);
}
