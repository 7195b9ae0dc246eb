#pragma once

#include <QObject>
#include <QWidget>

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

private:
    mainWindowController* m_controller;
};

/// Owns the main window and its content controller. Closing the window only hides it; the
/// application keeps running.
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

private:
    MainWindow* m_window = nullptr;
    mainContainerVc* m_content = nullptr;
};
