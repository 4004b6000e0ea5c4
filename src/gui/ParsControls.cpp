#include "ParsControls.h"

#include "gdi/CodePage.h"
#include "intake/SpoolPaths.h"

#include <QFontDatabase>
#include <QFontInfo>

#include <algorithm>
#include <iterator>

namespace quillon {

QStringList fontSizeEntries()
{
    QStringList entries;
    for (int size = settings::kFontSize.low; size <= settings::kFontSize.high; ++size)
        entries << QStringLiteral("%1 pkt").arg(size, 2);
    return entries;
}

int fontSizeOfEntry(const QString& entry)
{
    bool ok = false;
    const int size = entry.left(2).trimmed().toInt(&ok);
    return ok ? size : 0;
}

QStringList emulationEntries()
{
    QStringList entries;
    for (PrinterEmulation e : settings::kEmulations) {
        switch (e) {
        case PrinterEmulation::Simple:
            entries << QStringLiteral("Prosta (zgodna)");
            break;
        case PrinterEmulation::Fx:
            entries << QStringLiteral("Epson FX (9 igieł)");
            break;
        case PrinterEmulation::Lq:
            entries << QStringLiteral("Epson LQ (24 igły)");
            break;
        }
    }
    return entries;
}

QString pollingLabel(int seconds)
{
    return QStringLiteral("%1 sek.").arg(seconds);
}

namespace {

int indexIgnoringCase(const QStringList& list, const QString& name)
{
    for (int i = 0; i < list.size(); ++i)
        if (list[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// Blanks and control characters off both ends.
QString trimmedLine(const QString& line)
{
    auto cut = [](QChar c) { return c.unicode() <= 0x20 || c.unicode() == 0x7F || c.isSpace(); };
    qsizetype from = 0;
    qsizetype to = line.size();
    while (from < to && cut(line[from]))
        ++from;
    while (to > from && cut(line[to - 1]))
        --to;
    return line.mid(from, to - from);
}

} // namespace

void readControls(const TSettings& s, ParsControls& c)
{
    c.fontIndex = indexIgnoringCase(c.fontNames, QString::fromStdString(s.FontName));
    if (c.fontIndex < 0)
        c.fontIndex = indexIgnoringCase(c.fontNames, QLatin1String(settings::kDefaultFontName));
    if (c.fontIndex < 0)
        c.fontIndex = c.fontNames.isEmpty() ? -1 : 0;

    c.sizeIndex = indexIgnoringCase(c.sizes, QStringLiteral("%1 pkt").arg(s.FontSize, 2));
    if (c.sizeIndex < 0)
        c.sizeIndex = int(c.sizes.size()) - 1;

    c.slider = settings::kPollingFreq.clamp(s.PollingFreq);
    c.pathLines.clear();
    for (const std::string& p : s.PeekPaths)
        c.pathLines << QString::fromStdString(p);
    c.landscape = s.PageOrient == settings::kLandscape;
    c.preview = s.Preview;
    c.emulationIndex = int(std::find(std::begin(settings::kEmulations), std::end(settings::kEmulations), s.Emulation)
                           - std::begin(settings::kEmulations));
}

void writeControls(const ParsControls& c, TSettings& s)
{
    s.FontName = c.fontIndex >= 0 && c.fontIndex < c.fontNames.size() ? c.fontNames[c.fontIndex].toStdString()
                                                                      : std::string();
    if (c.sizeIndex >= 0 && c.sizeIndex < c.sizes.size())
        s.FontSize = fontSizeOfEntry(c.sizes[c.sizeIndex]);
    s.PollingFreq = c.slider;
    s.PeekPaths.clear();
    for (const QString& line : c.pathLines) {
        const QString path = trimmedLine(line);
        if (!path.isEmpty())
            s.PeekPaths.push_back(path.toStdString());
    }
    s.PageOrient = std::string(c.landscape ? settings::kLandscape : settings::kPortrait);
    s.Preview = c.preview;
    if (c.emulationIndex >= 0 && size_t(c.emulationIndex) < std::size(settings::kEmulations))
        s.Emulation = settings::kEmulations[c.emulationIndex];
}

QString pathLinesProblem(const QStringList& lines, int& badLine)
{
    badLine = -1;
    int patterns = 0;
    for (int i = 0; i < lines.size(); ++i) {
        const QString path = trimmedLine(lines[i]);
        if (path.isEmpty())
            continue;
        if (!isAbsolutePattern(path.toStdString())) {
            badLine = i;
            return QStringLiteral("Wiersz %1: wzorzec „%2” nie jest pełną ścieżką. Wzorzec musi się zaczynać "
                                  "od „/” (np. /home/jan/DOSPRN/*.prn) albo od „~/” (folder domowy, np. "
                                  "~/DOSPRN/*.prn).").arg(i + 1).arg(path);
        }
        if (++patterns > settings::kMaxPeekPaths) {
            badLine = i;
            return QStringLiteral("Wzorców może być najwyżej %1; wiersz %2 jest już %3. wzorcem. Usuń zbędne "
                                  "wiersze.").arg(settings::kMaxPeekPaths).arg(i + 1).arg(patterns);
        }
    }
    return {};
}

QStringList sortedUniqueIgnoringCase(QStringList names)
{
    std::stable_sort(names.begin(), names.end(),
                     [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    names.erase(std::unique(names.begin(), names.end(),
                            [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }),
                names.end());
    return names;
}

QStringList fixedPitchFontFamilies()
{
    QStringList names;
    for (const QString& family : QFontDatabase::families(QFontDatabase::Latin)) {
        if (QFontDatabase::isPrivateFamily(family))
            continue;
        if (QFontDatabase::isFixedPitch(family) && QFontDatabase::isSmoothlyScalable(family))
            names << family;
    }
    // The DOS programs' usual face is found through the desktop's substitutes.
    const QFontInfo courier(QFont(QLatin1String(settings::kDefaultFontName)));
    if (courier.fixedPitch() && QFontDatabase::isSmoothlyScalable(courier.family()))
        names << QLatin1String(settings::kDefaultFontName);
    return sortedUniqueIgnoringCase(names);
}

std::string AnsiToOem(const QString& text)
{
    return unicodeToDos(DosCodePage::Cp852, text.toStdU16String());
}

} // namespace quillon
