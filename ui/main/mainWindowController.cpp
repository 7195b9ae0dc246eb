#include "mainWindowController.h"

#include "Pictures.h"
#include "mainContainerVc.h"
#include "shreddingFilesVC.h"

#include <QApplication>
#include <QCloseEvent>
#include <QShortcut>
#include <QScreen>
#include <QVBoxLayout>

MainWindow::MainWindow(mainWindowController* controller)
    : m_controller(controller)
{
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The controller hides the window; the close itself is not carried out.
    m_controller->windowShouldClose();
    event->ignore();
}

mainWindowController::mainWindowController(QObject* parent)
    : QObject(parent)
{
}

mainWindowController::~mainWindowController()
{
    delete m_window;
}

mainWindowController& mainWindowController::shared()
{
    static mainWindowController* controller = [] {
        auto* made = new mainWindowController;
        made->windowDidLoad();
        return made;
    }();
    return *controller;
}

QWidget* mainWindowController::window()
{
    if (!m_window) {
        m_window = new MainWindow(this);
        m_window->setObjectName(QStringLiteral("mainWindow"));
        m_window->setWindowTitle(QStringLiteral("Corvane"));
        m_window->setWindowIcon(Pictures::applicationIcon());
        m_window->setMinimumSize(720, 520);
        m_window->resize(880, 620);
        auto* layout = new QVBoxLayout(m_window);
        // The content runs right up to the window's title bar: no margin, no second title.
        layout->setContentsMargins(0, 0, 0, 0);
        m_content = new mainContainerVc(m_window);
        layout->addWidget(m_content->view());
        // With the window hidden on close, this is how the application ends (menus come later).
        auto* quit = new QShortcut(QKeySequence::Quit, m_window);
        connect(quit, &QShortcut::activated, qApp, [] {
            // A run has no stop; quitting now would leave a file half overwritten, unreported.
            if (!shreddingFilesVC::isRunActive())
                QCoreApplication::quit();
        });
    }
    return m_window;
}

void mainWindowController::windowDidLoad()
{
    showWindow();
}

bool mainWindowController::windowShouldClose()
{
    m_window->hide();
    return true;
}

void mainWindowController::showWindow()
{
    window()->show();
    m_window->raise();
    m_window->activateWindow();
}
