#include "ZVPanel.h"

#include "BackgroundView.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>

ZVPanel::ZVPanel(QWidget *parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint)
    , m_backgroundView(new BackgroundView(this))
{
    setObjectName(QStringLiteral("PanelController"));
    setAccessibleName(QStringLiteral("Zorvel"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    m_backgroundView->setGeometry(rect());
}

ZVPanel::~ZVPanel() = default;

bool ZVPanel::event(QEvent *event)
{
    if (event->type() == QEvent::WindowDeactivate)
        emit didResignKey();
    return QWidget::event(event);
}

void ZVPanel::resizeEvent(QResizeEvent *event)
{
    const int grownBy = event->size().height() - m_backgroundView->height();
    m_backgroundView->setGeometry(rect());
    if (grownBy != 0) {
        for (QObject *object : m_backgroundView->children()) {
            if (auto *child = qobject_cast<QWidget *>(object); child && child->isWindow() == false)
                child->move(child->x(), child->y() + grownBy);
        }
    }
    QWidget::resizeEvent(event);
    emit didResize();
}

void ZVPanel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        emit cancelOperation();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ZVPanel::mousePressEvent(QMouseEvent *event)
{
    // A popup gets the clicks outside it too; one of them means the user has
    // gone elsewhere, as a loss of focus does.
    if (!rect().contains(event->position().toPoint())) {
        event->accept();
        emit didResignKey();
        return;
    }
    QWidget::mousePressEvent(event);
}

void ZVPanel::closeEvent(QCloseEvent *event)
{
    // The panel fades out before it goes; the controller orders it out.
    event->ignore();
    emit willClose();
}
