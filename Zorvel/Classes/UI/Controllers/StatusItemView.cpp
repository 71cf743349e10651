#include "StatusItemView.h"

#include "Assertion.h"
#include "PanelGeometry.h"
#include "StatusBar.h"
#include "StatusItem.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QScreen>

namespace {
std::optional<StatusItemEvent> g_currentEvent;

QRect primaryScreenGeometry()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

// The tray draws its own background; the highlight is a rounded selection
// colour behind the icon, as menus draw an open menu title.
void drawStatusBarBackground(QPainter &painter, const QRectF &rect, bool highlight)
{
    if (!highlight)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QGuiApplication::palette().color(QPalette::Active, QPalette::Highlight));
    painter.drawRoundedRect(rect, 3, 3);
    painter.restore();
}
} // namespace

StatusItemView::StatusItemView(std::unique_ptr<StatusItem> statusItem, QObject *parent)
    : QObject(parent)
    , m_statusItem(std::move(statusItem))
{
    ZV_PARAMETER_ASSERT(m_statusItem, "statusItem");
    m_frame = {0, 0, m_statusItem->length(), StatusBar::systemStatusBar().thickness()};
    connect(m_statusItem.get(), &StatusItem::clicked, this, &StatusItemView::mouseDown);
    setNeedsDisplay();
}

StatusItemView::~StatusItemView() = default;

void StatusItemView::setHighlighted(bool highlighted)
{
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    setNeedsDisplay();
}

void StatusItemView::setImage(const QPixmap &image)
{
    if (image.cacheKey() == m_image.cacheKey())
        return;
    m_image = image;
    setNeedsDisplay();
}

void StatusItemView::setAlternateImage(const QPixmap &image)
{
    if (image.cacheKey() == m_alternateImage.cacheKey())
        return;
    m_alternateImage = image;
    if (m_highlighted)
        setNeedsDisplay();
}

Rect StatusItemView::globalRect() const
{
    const QRect primary = primaryScreenGeometry();
    if (const std::optional<QRect> tray = m_statusItem->trayGeometry())
        return PanelGeometry::fromQtScreen(QRectF(*tray), primary);
    if (const std::optional<QPoint> cursor = m_statusItem->lastClickPosition()) {
        const QRectF around(cursor->x() - m_frame.width / 2, cursor->y() - m_frame.height / 2, m_frame.width,
                            m_frame.height);
        return PanelGeometry::fromQtScreen(around, primary);
    }
    return {};
}

void StatusItemView::mouseDown(Qt::KeyboardModifiers modifiers)
{
    QObject *receiver = m_target
        ? m_target.data()
        : QCoreApplication::instance()->property(kApplicationDelegateProperty).value<QObject *>();
    if (!receiver || m_action.isEmpty())
        return;
    const std::optional<StatusItemEvent> outer = g_currentEvent;
    g_currentEvent = StatusItemEvent {true, modifiers};
    QMetaObject::invokeMethod(receiver, m_action.constData(), Qt::DirectConnection,
                              Q_ARG(QObject *, static_cast<QObject *>(this)));
    g_currentEvent = outer;
}

std::optional<StatusItemEvent> StatusItemView::currentEvent()
{
    return g_currentEvent;
}

Point StatusItemView::iconOrigin(const Size &viewSize, const Size &iconSize)
{
    return {roundHalfAwayFloat((viewSize.width - iconSize.width) / 2),
            roundHalfAwayFloat((viewSize.height - iconSize.height) / 2)};
}

void StatusItemView::drawRect(QPainter &painter) const
{
    const Rect b = bounds();
    drawStatusBarBackground(painter, QRectF(0, 0, b.width, b.height), m_highlighted);
    const QPixmap &icon = m_highlighted ? m_alternateImage : m_image;
    if (icon.isNull())
        return;
    const Size iconSize {icon.width() / icon.devicePixelRatio(), icon.height() / icon.devicePixelRatio()};
    const Point origin = iconOrigin(b.size(), iconSize);
    // The origin is bottom-left; the painter counts from the top.
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(1.0);
    painter.drawPixmap(QPointF(origin.x, b.height - origin.y - iconSize.height), icon);
}

QPixmap StatusItemView::render() const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
    QPixmap picture(qRound(m_frame.width * ratio), qRound(m_frame.height * ratio));
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    drawRect(painter);
    painter.end();
    return picture;
}

void StatusItemView::setNeedsDisplay()
{
    const QPixmap picture = render();
    m_statusItem->setPixmap(picture);
    emit displayed(picture);
}
