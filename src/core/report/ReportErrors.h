#pragma once
// The base error of the program's own exception family, and the report engine's ten errors.
// A run of the report catches Exception at its boundary and turns it into a False result with
// the message and the class name.

#include <exception>
#include <string>

namespace quillon {

// What went wrong in a run, for the code that decides on it; the user sees the class name and
// the message.
enum class ReportError {
    None,
    UserAbort,        // EVxReport_UserAbort
    FileNotDefined,   // EVxReport_FileNotDefined
    NoPaintEvent,     // EVxReport_NoPaintEvent
    CreateFileFailed, // EVxReport_CreateFileFailed
    PageDrawing,      // EVxReport_PageDrawing
    BeginDocFirst,    // EVxReport_BeginDocFirst
    BeginDocNext,     // EVxReport_BeginDocNext
    EndDoc,           // EVxReport_EndDoc
    NewPage,          // EVxReport_NewPage
    PrintMetaPage,    // EVxReport_PrintMetaPage
    WriteError,       // EWriteError: the page store could not be written
    ReadError,        // EReadError: the page store could not be read or is damaged
    FileCreateError,  // EFCreateError: a single page picture could not be written
    OutOfMemory,      // EOutOfMemory
    Other,            // any other error, the page handler's own included
};

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }
    const std::string& message() const { return m_message; }
    virtual const char* className() const { return "Exception"; }
    virtual ReportError kind() const { return ReportError::Other; }

private:
    std::string m_message;
};

#define QUILLON_REPORT_ERROR(Name, Text)                                                          \
    class EVxReport_##Name : public Exception {                                                    \
    public:                                                                                        \
        EVxReport_##Name() : Exception(Text) {}                                                    \
        explicit EVxReport_##Name(std::string message) : Exception(std::move(message)) {}        \
        const char* className() const override { return "EVxReport_" #Name; }                     \
        ReportError kind() const override { return ReportError::Name; }                            \
    };

QUILLON_REPORT_ERROR(UserAbort, "Tworzenie raportu przerwane przez użytkownika")
QUILLON_REPORT_ERROR(FileNotDefined, "Nie określono pliku raportu.")
QUILLON_REPORT_ERROR(NoPaintEvent, "Nie określono zdarzenia OnPaintPage.")
QUILLON_REPORT_ERROR(CreateFileFailed, "Nie można utworzyć pliku")
QUILLON_REPORT_ERROR(PageDrawing, "Błąd w procedurze rysowania strony")
QUILLON_REPORT_ERROR(BeginDocFirst, "Błąd zgłoszony przez drukarkę.")
QUILLON_REPORT_ERROR(BeginDocNext, "Błąd zgłoszony przez drukarkę.")
QUILLON_REPORT_ERROR(EndDoc, "Błąd zgłoszony przez drukarkę.")
QUILLON_REPORT_ERROR(NewPage, "Błąd zgłoszony przez drukarkę.")
QUILLON_REPORT_ERROR(PrintMetaPage, "Błąd zgłoszony przez drukarkę.")

#undef QUILLON_REPORT_ERROR

// "Nie można utworzyć pliku\r\n%s\r\nw trybie dostępu wyłącznego"
std::string createFileFailedMessage(const std::string& path);
// "Błąd w procedurze rysowania strony nr %d.\r\nSzczegóły błędu: %s (%s)"
std::string pageDrawingMessage(int page, const std::string& message, const std::string& className);
// The text of the report's error box.
std::string errorBoxText(const std::string& className, const std::string& message);

} // namespace quillon

namespace quillon {

// Errors outside the report's own family that a run can still meet.
class EWriteError : public Exception {
public:
    using Exception::Exception;
    const char* className() const override { return "EWriteError"; }
    ReportError kind() const override { return ReportError::WriteError; }
};

class EReadError : public Exception {
public:
    using Exception::Exception;
    const char* className() const override { return "EReadError"; }
    ReportError kind() const override { return ReportError::ReadError; }
};

class EFCreateError : public Exception {
public:
    using Exception::Exception;
    const char* className() const override { return "EFCreateError"; }
    ReportError kind() const override { return ReportError::FileCreateError; }
};

} // namespace quillon
