#include "Icons.h"

#include <QIconEngine>
#include <QPainter>

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

namespace {

// Pixmaps of one icon under another icon's theme name.
class NamedIconEngine final : public QIconEngine {
public:
    NamedIconEngine(QString name, QIcon pixmaps) : m_name(std::move(name)), m_icon(std::move(pixmaps)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        m_icon.paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return m_icon.pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return m_icon.pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return m_icon.actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return m_icon.availableSizes(mode, state);
    }
    QString iconName() override { return m_name; }
    bool isNull() override { return m_icon.isNull(); }
    QString key() const override { return QStringLiteral("quillon-named"); }
    QIconEngine* clone() const override { return new NamedIconEngine(m_name, m_icon); }

private:
    QString m_name;
    QIcon m_icon;
};

} // namespace

QIcon programIcon()
{
    static const bool loaded = (initIconResources(), true);
    (void)loaded;
    return QIcon(new NamedIconEngine(QLatin1String(kProgramIconName),
                                     QIcon(QStringLiteral(":/icons/quillon-print.png"))));
}

} // namespace quillon
