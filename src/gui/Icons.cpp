#include "Icons.h"

#include <QFile>

static void initIconResources()
{
    Q_INIT_RESOURCE(QuillonIcons);
}

namespace quillon {

QIcon themeIcon(const char* name)
{
    static const bool loaded = (initIconResources(), true);
    (void)loaded;
    const QString bundled = QStringLiteral(":/icons/%1.png").arg(QLatin1String(name));
    return QIcon::fromTheme(QLatin1String(name), QIcon(bundled));
}

QIcon programIcon()
{
    static const bool loaded = (initIconResources(), true);
    (void)loaded;
    return QIcon(QStringLiteral(":/icons/quillon-print.png"));
}

} // namespace quillon
