// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QWidget>

#include <functional>

class QMenuBar;
class mainContainerVc;
class mainWindowController;

/// The main window's top-level widget; closing it asks its controller.
class MainWindow : public QWidget
{
    Q_OBJECT

public:
    explicit MainWindow(mainWindowController* controller);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    mainWindowController* m_controller;
};

/// Owns the main window and its content controller. Closing the window only hides it, unless
/// a close handler decides otherwise; the application keeps running.
class mainWindowController : public QObject
{
    Q_OBJECT

public:
    explicit mainWindowController(QObject* parent = nullptr);
    ~mainWindowController() override;

    /// The one main window controller of the process, made (and its window shown) on first use.
    static mainWindowController& shared();

    QWidget* window();
    mainContainerVc* contentViewController() const { return m_content; }

    /// Makes the window, loads its content and shows it.
    void windowDidLoad();
    /// Hides the window; returns true (the close is accepted as a hide).
    bool windowShouldClose();
    void showWindow();

    /// What the window's close button and Alt+F4 do instead of windowShouldClose(); the
    /// application sets it from what the desktop offers (a tray or not).
    void setCloseHandler(std::function<void()> handler) { m_closeHandler = std::move(handler); }
    /// The menu bar across the top of the window, above the screens; the window takes it.
    void setMenuBar(QMenuBar* menuBar);
    QMenuBar* menuBar() const { return m_menuBar; }

signals:
    /// The window was shown or hidden, by whatever means.
    void visibilityChanged(bool visible);

private:
    friend class MainWindow;
    void closeRequested();

    MainWindow* m_window = nullptr;
    mainContainerVc* m_content = nullptr;
    QMenuBar* m_menuBar = nullptr;
    std::function<void()> m_closeHandler;
};
