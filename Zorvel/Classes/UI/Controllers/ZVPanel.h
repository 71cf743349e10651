// The drop-down panel's window: frameless, transparent where its background
// view draws nothing, above other windows, and able to take the keyboard focus.
#pragma once

#include <QWidget>

class BackgroundView;

// A Qt::Popup rather than a Qt::Tool window: a popup grabs the pointer and the
// keyboard while it is open, so a click anywhere else reaches it and folds it
// away even on a desktop without a window manager, where a tool window never
// hears that it lost the focus. The price is that the click on the tray icon
// which closes an open panel only closes it (the tray does not see it), which
// is what a second click should do anyway.
class ZVPanel final : public QWidget
{
    Q_OBJECT
public:
    explicit ZVPanel(QWidget *parent = nullptr);
    ~ZVPanel() override;

    bool canBecomeKeyWindow() const { return true; }

    // Covers the whole window and follows its size; its children keep their
    // distance to its bottom-left corner when it grows, as in a view whose
    // origin is at the bottom.
    BackgroundView *backgroundView() const { return m_backgroundView; }

signals:
    void didResize();
    // The window lost the focus, or a click landed outside it.
    void didResignKey();
    // Someone asked the window to close; it stays until it is ordered out.
    void willClose();
    // Escape.
    void cancelOperation();

protected:
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    BackgroundView *m_backgroundView = nullptr;
};
