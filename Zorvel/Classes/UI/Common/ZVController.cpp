#include "ZVController.h"

#include "TextView.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>

ZVController::ZVController(const Rect &frame, QObject *parent)
    : QObject(parent)
    , m_zvFrame(frame)
{ }

ZVController::~ZVController()
{
    // A panel that still holds the view as a child would otherwise keep a screen without its controller.
    delete m_view.data();
}

QWidget *ZVController::view()
{
    if (!m_view)
        loadView();
    return m_view;
}

void ZVController::loadView()
{
    auto *view = new QWidget;
    view->setObjectName(metaObject()->className());
    Geometry::setFrame(view, m_zvFrame);
    view->setFixedSize(qRound(m_zvFrame.width), qRound(m_zvFrame.height));
    m_view = view;
    zvViewDidLoad();
}

void ZVController::showLoading()
{
    hideLoading();
    QWidget *screen = view();
    const Rect bounds = Geometry::bounds(screen);

    auto *overlay = new QWidget(screen);
    overlay->setObjectName(QStringLiteral("loadingView"));
    overlay->setAccessibleName(kLoadingText);
    Geometry::setFrame(overlay, bounds);
    // A translucent fill over whatever the screen has painted, as a tinted layer would be.
    QPalette palette = overlay->palette();
    palette.setColor(QPalette::Window, QColor::fromRgbF(0.7f, 0.7f, 0.7f, 0.4f));
    overlay->setPalette(palette);
    overlay->setAutoFillBackground(true);
    // Clicks on a plain widget stop there (they go to its parent, never to the
    // siblings it covers); the focus is taken too so that Tab and Return cannot
    // reach the covered controls.
    overlay->setFocusPolicy(Qt::StrongFocus);
    overlay->installEventFilter(this);

    auto *label = new TextView(overlay);
    label->setObjectName(QStringLiteral("loadingLabel"));
    label->setAlignment(Qt::AlignCenter);
    label->setString(kLoadingText);
    label->setAccessibleName(kLoadingText);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    Geometry::setFrame(label, Rect {100, bounds.height / 2 + 10, bounds.width - 200, 20});

    m_loadingView = overlay;
    overlay->raise();
    overlay->show();

    QWidget *focus = QApplication::focusWidget();
    if (focus && screen->isAncestorOf(focus)) {
        m_focusBeforeLoading = focus;
        overlay->setFocus(Qt::OtherFocusReason);
    }
}

void ZVController::hideLoading()
{
    if (!m_loadingView)
        return;
    QWidget *overlay = m_loadingView;
    m_loadingView = nullptr;
    const bool hadFocus = overlay->hasFocus();
    // Deleted at once, so that the view's children are what they were before the overlay.
    delete overlay;
    if (hadFocus && m_focusBeforeLoading)
        m_focusBeforeLoading->setFocus(Qt::OtherFocusReason);
    m_focusBeforeLoading = nullptr;
}

bool ZVController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_loadingView && event->type() == QEvent::KeyPress) {
        // Tab would move the focus to a covered control; everything else goes to the screen.
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
            return true;
    }
    return QObject::eventFilter(watched, event);
}
