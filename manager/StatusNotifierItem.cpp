#include "StatusNotifierItem.h"

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QImage>
#include <QtEndian>
#include <unistd.h>

namespace {

const char kWatcherService[] = "org.kde.StatusNotifierWatcher";
const char kWatcherPath[] = "/StatusNotifierWatcher";
const char kItemPath[] = "/StatusNotifierItem";

}  // namespace

// One image of the icon: ARGB32 in network byte order.
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray data;
};
using SniPixmapList = QList<SniPixmap>;

struct SniToolTip {
    QString iconName;
    SniPixmapList pixmaps;
    QString title;
    QString description;
};

Q_DECLARE_METATYPE(SniPixmap)
Q_DECLARE_METATYPE(SniPixmapList)
Q_DECLARE_METATYPE(SniToolTip)

QDBusArgument& operator<<(QDBusArgument& arg, const SniPixmap& pixmap)
{
    arg.beginStructure();
    arg << pixmap.width << pixmap.height << pixmap.data;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, SniPixmap& pixmap)
{
    arg.beginStructure();
    arg >> pixmap.width >> pixmap.height >> pixmap.data;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const SniToolTip& tip)
{
    arg.beginStructure();
    arg << tip.iconName << tip.pixmaps << tip.title << tip.description;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, SniToolTip& tip)
{
    arg.beginStructure();
    arg >> tip.iconName >> tip.pixmaps >> tip.title >> tip.description;
    arg.endStructure();
    return arg;
}

namespace {

SniPixmapList pixmapsOf(const QIcon& icon)
{
    SniPixmapList list;
    QList<QSize> sizes = icon.availableSizes();
    if (sizes.isEmpty())
        sizes = {QSize(22, 22), QSize(48, 48)};
    for (const QSize& size : sizes) {
        const QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull())
            continue;
        SniPixmap pixmap;
        pixmap.width = image.width();
        pixmap.height = image.height();
        pixmap.data.resize(image.width() * image.height() * 4);
        quint32* out = reinterpret_cast<quint32*>(pixmap.data.data());
        for (int y = 0; y < image.height(); ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x)
                *out++ = qToBigEndian<quint32>(line[x]);
        }
        list << pixmap;
    }
    return list;
}

}  // namespace

class StatusNotifierItemAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ title)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(SniPixmapList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ empty)
    Q_PROPERTY(SniPixmapList OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ empty)
    Q_PROPERTY(SniPixmapList AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(SniToolTip ToolTip READ toolTip)
    // No exported menu: hosts then ask for it with ContextMenu.
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)

public:
    explicit StatusNotifierItemAdaptor(StatusNotifierItem* item) : QDBusAbstractAdaptor(item), m_item(item)
    {
        m_pixmaps = pixmapsOf(item->icon());
    }

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString title() const { return m_item->title(); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconName() const { return m_item->icon().name(); }
    SniPixmapList iconPixmap() const { return m_pixmaps; }
    QString empty() const { return QString(); }
    SniPixmapList noPixmaps() const { return {}; }
    SniToolTip toolTip() const
    {
        SniToolTip tip;
        tip.iconName = iconName();
        tip.pixmaps = m_pixmaps;
        tip.title = title();
        return tip;
    }
    bool itemIsMenu() const { return false; }

public slots:
    void Activate(int, int) { emit m_item->activated(); }
    void SecondaryActivate(int, int) { emit m_item->activated(); }
    void ContextMenu(int x, int y) { emit m_item->contextMenuRequested(x, y); }
    void Scroll(int, const QString&) {}

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    StatusNotifierItem* m_item;
    SniPixmapList m_pixmaps;
};

StatusNotifierItem::StatusNotifierItem(const QString& title, const QIcon& icon, QDBusConnection bus,
                                       QObject* parent)
    : QObject(parent), m_bus(bus), m_title(title), m_icon(icon)
{
    qDBusRegisterMetaType<SniPixmap>();
    qDBusRegisterMetaType<SniPixmapList>();
    qDBusRegisterMetaType<SniToolTip>();
    if (!m_bus.isConnected())
        return;
    new StatusNotifierItemAdaptor(this);
    static int serial = 0;
    const QString service = QStringLiteral("org.kde.StatusNotifierItem-%1-%2").arg(getpid()).arg(++serial);
    if (!m_bus.registerObject(kItemPath, this) || !m_bus.registerService(service)) {
        m_bus.unregisterObject(kItemPath);
        return;
    }
    m_service = service;
    m_watcher = new QDBusServiceWatcher(kWatcherService, m_bus,
                                        QDBusServiceWatcher::WatchForRegistration |
                                            QDBusServiceWatcher::WatchForUnregistration,
                                        this);
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &StatusNotifierItem::registerWithWatcher);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] { setRegistered(false); });
    registerWithWatcher();
}

StatusNotifierItem::~StatusNotifierItem()
{
    if (m_service.isEmpty())
        return;
    m_bus.unregisterService(m_service);
    m_bus.unregisterObject(kItemPath);
}

void StatusNotifierItem::registerWithWatcher()
{
    QDBusMessage call = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath, kWatcherService,
                                                       QStringLiteral("RegisterStatusNotifierItem"));
    call << m_service;
    // Asynchronous: a watcher that hangs must not freeze the window.
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        setRegistered(!done->isError());
    });
}

void StatusNotifierItem::setRegistered(bool registered)
{
    if (registered == m_registered)
        return;
    m_registered = registered;
    emit registeredChanged(registered);
}

#include "StatusNotifierItem.moc"
