// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

/// Owns one top-level window, made on first use. Closing the window hides it; the controller
/// and the window stay, so the next showWindow() brings back the same window.
class WindowController : public QObject
{
    Q_OBJECT

public:
    explicit WindowController(QObject* parent = nullptr);
    ~WindowController() override;

    /// Makes the window (running windowDidLoad once) and returns it.
    QWidget* window();
    bool isWindowLoaded() const { return m_window != nullptr; }
    /// Shows the window, raised and active.
    virtual void showWindow();

protected:
    /// Builds the window; called once.
    virtual QWidget* loadWindow() = 0;
    virtual void windowDidLoad() { }
    /// Escape closes the window, as it does a dialog: for windows with nothing to cancel.
    void closeOnEscape();

private:
    void placeOnFirstShow(QWidget* shown);

    QPointer<QWidget> m_window;
    bool m_placed = false;
};
