#pragma once
// The base error of the program's own exception family, and the report engine's ten errors.
// A run of the report catches Exception at its boundary and turns it into a False result with
// the message and the class name.

#include <exception>
#include <string>

namespace quillon {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : m_message(std::move(message)) {}
    const char* what() const noexcept override { return m_message.c_str(); }
    const std::string& message() const { return m_message; }
    virtual const char* className() const { return "Exception"; }

private:
    std::string m_message;
};

#define QUILLON_REPORT_ERROR(Name, Text)                                                          \
    class Name : public Exception {                                                                \
    public:                                                                                        \
        Name() : Exception(Text) {}                                                                \
        explicit Name(std::string message) : Exception(std::move(message)) {}                    \
        const char* className() const override { return #Name; }                                  \
    };

QUILLON_REPORT_ERROR(EVxReport_UserAbort, "Tworzenie raportu przerwane przez użytkownika")
QUILLON_REPORT_ERROR(EVxReport_FileNotDefined, "Nie określono pliku raportu.")
QUILLON_REPORT_ERROR(EVxReport_NoPaintEvent, "Nie określono zdarzenia OnPaintPage.")
QUILLON_REPORT_ERROR(EVxReport_CreateFileFailed, "Nie można utworzyć pliku")
QUILLON_REPORT_ERROR(EVxReport_PageDrawing, "Błąd w procedurze rysowania strony")
QUILLON_REPORT_ERROR(EVxReport_BeginDocFirst, "Błąd zgłoszony przez drukarkę.")
QUILLON_REPORT_ERROR(EVxReport_BeginDocNext, "Błąd zgłoszony przez drukarkę.")
QUILLON_REPORT_ERROR(EVxReport_EndDoc, "Błąd zgłoszony przez drukarkę.")
QUILLON_REPORT_ERROR(EVxReport_NewPage, "Błąd zgłoszony przez drukarkę.")
QUILLON_REPORT_ERROR(EVxReport_PrintMetaPage, "Błąd zgłoszony przez drukarkę.")

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
};

class EReadError : public Exception {
public:
    using Exception::Exception;
    const char* className() const override { return "EReadError"; }
};

class EFCreateError : public Exception {
public:
    using Exception::Exception;
    const char* className() const override { return "EFCreateError"; }
};

} // namespace quillon
