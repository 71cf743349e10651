// The tray icon's view: draws the highlight and the centred icon into the
// picture the tray shows, and turns a click on the icon into its action.
#pragma once

#include "Geometry.h"

#include <QByteArray>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <memory>
#include <optional>

class QPainter;
class StatusItem;

// The dynamic property of the application that holds its delegate: the
// receiver of a view's action when the view has no target of its own.
inline constexpr char kApplicationDelegateProperty[] = "zvApplicationDelegate";

// The click that is being delivered, while its action runs.
struct StatusItemEvent
{
    bool isLeftMouseDown = true;
    Qt::KeyboardModifiers modifiers;
};

class StatusItemView : public QObject
{
    Q_OBJECT
public:
    // Width: the item's length; height: the status bar's thickness. The view
    // takes the item and shows itself in it.
    explicit StatusItemView(std::unique_ptr<StatusItem> statusItem, QObject *parent = nullptr);
    ~StatusItemView() override;

    StatusItem *statusItem() const { return m_statusItem.get(); }
    Rect frame() const { return m_frame; }
    Rect bounds() const { return {0, 0, m_frame.width, m_frame.height}; }

    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted);
    QPixmap image() const { return m_image; }
    void setImage(const QPixmap &image);
    QPixmap alternateImage() const { return m_alternateImage; }
    void setAlternateImage(const QPixmap &image);

    // The name of an invokable of the target taking the sender (QObject *).
    QByteArray action() const { return m_action; }
    void setAction(const QByteArray &action) { m_action = action; }
    // Not owned; absent sends the action to the application's delegate.
    QObject *target() const { return m_target; }
    void setTarget(QObject *target) { m_target = target; }

    // The icon's rectangle on the screen, in the panel's bottom-left screen
    // coordinates: the tray's geometry when the tray has told it; else an
    // icon-sized rectangle centred on the cursor of the last click; else, with
    // no tray or no click yet, the zero rectangle.
    virtual Rect globalRect() const;

    // Sends the action for a click with these modifiers.
    void mouseDown(Qt::KeyboardModifiers modifiers);
    // The click being delivered (during an action sent by mouseDown only).
    static std::optional<StatusItemEvent> currentEvent();

    // Where the icon goes in a view of size W x H, bottom-left origin: centred,
    // each coordinate rounded half away from zero in single precision.
    static Point iconOrigin(const Size &viewSize, const Size &iconSize);

    // Draws the view (background and icon) into the painter, whose origin is the
    // view's top-left corner, and hands the picture to the status item.
    void drawRect(QPainter &painter) const;
    // The picture the tray shows now.
    QPixmap render() const;

signals:
    // After each redraw, with the new picture.
    void displayed(const QPixmap &picture);

private:
    void setNeedsDisplay();

    std::unique_ptr<StatusItem> m_statusItem;
    Rect m_frame;
    bool m_highlighted = false;
    QPixmap m_image;
    QPixmap m_alternateImage;
    QByteArray m_action;
    QPointer<QObject> m_target;
};
