#include "ImageList.h"

#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>

// Q_INIT_RESOURCE declares a function of the global namespace, so it is called from here.
static void InitKuvrionResources()
{
    Q_INIT_RESOURCE(kuvrion);
}

namespace kuvrion {

void InitResources()
{
    static const bool registered = (InitKuvrionResources(), true);
    (void)registered;
}

QIcon ImageIcon(const QString& key)
{
    InitResources();
    return QIcon(QStringLiteral(":/images/%1.svg").arg(key));
}

QPixmap ImagePixmap(const QString& key, QSize size, qreal dpr)
{
    InitResources();
    QSvgRenderer renderer(QStringLiteral(":/images/%1.svg").arg(key));
    if (!renderer.isValid() || size.isEmpty())
        return {};
    QPixmap pixmap(size * dpr);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    pixmap.setDevicePixelRatio(dpr);
    return pixmap;
}

QSize ImageSize(const QString& key)
{
    InitResources();
    return QSvgRenderer(QStringLiteral(":/images/%1.svg").arg(key)).defaultSize();
}

void SetLabelImage(QLabel* label, const QString& key, QSize size)
{
    if (size.isEmpty())
        size = ImageSize(key);
    label->setPixmap(ImagePixmap(key, size, label->devicePixelRatioF()));
    label->setFixedSize(size);
    label->setProperty("imageKey", key);
}

} // namespace kuvrion
