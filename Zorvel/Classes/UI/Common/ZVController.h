// The base of the panel's screens: a controller that builds its view from a
// frame on first request, gives subclasses one hook to add their controls, and
// can cover the view with a translucent "Loading..." overlay during a request.
#pragma once

#include "Geometry.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

inline const QString kLoadingText = QStringLiteral("Loading...");

class ZVController : public QObject
{
    Q_OBJECT
public:
    // The view is not built yet; view() builds it.
    explicit ZVController(const Rect &frame, QObject *parent = nullptr);
    ~ZVController() override;

    // The frame the view gets when it is built, in its future parent's bottom-left
    // coordinates. Changing it later does not move a view already built.
    const Rect &zvFrame() const { return m_zvFrame; }
    void setZvFrame(const Rect &frame) { m_zvFrame = frame; }

    // The screen view, built on the first call; then zvViewDidLoad() runs once.
    // Its size is fixed to the frame's; a parent that takes it in places it with
    // Geometry::setFrame(view, zvFrame()). The controller deletes the view when
    // it goes, unless a parent has deleted it before.
    QWidget *view();
    bool isViewLoaded() const { return !m_view.isNull(); }

    // The overlay while it is shown, else null. Owned by the view.
    QWidget *loadingView() const { return m_loadingView; }

    // Covers the view's bounds of this moment with the overlay (replacing any
    // earlier one). The overlay takes the clicks and the keyboard focus that
    // would reach the controls under it.
    void showLoading();
    // Removes the overlay, if any, and gives the focus back to where it was.
    void hideLoading();

protected:
    // Subclasses build their controls here; the base does nothing.
    virtual void zvViewDidLoad() { }

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void loadView();

    Rect m_zvFrame;
    QPointer<QWidget> m_view;
    QPointer<QWidget> m_loadingView;
    QPointer<QWidget> m_focusBeforeLoading;
};
