// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

class QAction;
class QMenu;
class QMenuBar;

/// The application's commands as actions, with the main window's menu bar and the tray
/// icon's menu built from the same actions.
class ApplicationMenu : public QObject
{
    Q_OBJECT

public:
    explicit ApplicationMenu(QObject* parent = nullptr);
    ~ApplicationMenu() override;

    /// File, Edit, View, Help; the caller (the window) takes it.
    QMenuBar* createMenuBar();
    /// Show Corvane, Preferences, About, Check for Updates and Quit.
    QMenu* trayMenu();

    /// Takes every title from the language table.
    void setTitles();

    QAction* addFiles() const { return m_addFiles; }
    QAction* wipeFreeSpace() const { return m_wipeFreeSpace; }
    QAction* quit() const { return m_quit; }
    QAction* preferences() const { return m_preferences; }
    QAction* showCorvane() const { return m_showCorvane; }
    QAction* otherApps() const { return m_otherApps; }
    QAction* checkForUpdates() const { return m_checkForUpdates; }
    QAction* about() const { return m_about; }

signals:
    /// `menu` (one of the bar's or the tray's) is about to open: the moment to enable what the
    /// screen on show allows.
    void menuAboutToShow(QMenu* menu);

private:
    QAction* makeAction(const char* name);

    QAction* m_addFiles;
    QAction* m_wipeFreeSpace;
    QAction* m_quit;
    QAction* m_preferences;
    QAction* m_showCorvane;
    QAction* m_otherApps;
    QAction* m_checkForUpdates;
    QAction* m_about;
    QList<QPointer<QMenu>> m_menus;
    std::unique_ptr<QMenu> m_trayMenu;
};
