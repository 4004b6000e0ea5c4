#include "report/ReportErrors.h"

namespace quillon {

std::string createFileFailedMessage(const std::string& path)
{
    return "Nie można utworzyć pliku\r\n" + path + "\r\nw trybie dostępu wyłącznego";
}

std::string pageDrawingMessage(int page, const std::string& message, const std::string& className)
{
    return "Błąd w procedurze rysowania strony nr " + std::to_string(page)
         + ".\r\nSzczegóły błędu: " + message + " (" + className + ")";
}

std::string errorBoxText(const std::string& className, const std::string& message)
{
    return "Podczas tworzenia lub drukowania raportu wystąpił błąd.\r\nSymbol błędu: " + className
         + "\r\n" + message;
}

} // namespace quillon
