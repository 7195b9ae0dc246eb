// SPDX-License-Identifier: GPL-3.0-or-later
#include "ApplicationMenu.h"

#include "LanguageTable.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

ApplicationMenu::ApplicationMenu(QObject* parent)
    : QObject(parent)
    , m_addFiles(makeAction("menuitem_addFiles"))
    , m_wipeFreeSpace(makeAction("menuitem_wipeFreeSpace"))
    , m_quit(makeAction("menuitem_quit"))
    , m_preferences(makeAction("menuitem_preferences"))
    , m_showCorvane(makeAction("menuitem_showCorvane"))
    , m_otherApps(makeAction("menuitem_otherApps"))
    , m_checkForUpdates(makeAction("menuitem_checkforupdates"))
    , m_about(makeAction("menuitem_about"))
{
    m_addFiles->setShortcut(QKeySequence::Open);
    // Some desktop themes bind no Quit key at all: Ctrl+Q always works.
    QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
    const QKeySequence ctrlQ(Qt::CTRL | Qt::Key_Q);
    if (!quitKeys.contains(ctrlQ))
        quitKeys.append(ctrlQ);
    m_quit->setShortcuts(quitKeys);
    m_quit->setMenuRole(QAction::QuitRole);
    m_preferences->setShortcuts(QKeySequence::Preferences);
    m_preferences->setMenuRole(QAction::PreferencesRole);
    m_about->setMenuRole(QAction::AboutRole);
    m_trayMenu = std::make_unique<QMenu>();
    m_trayMenu->setObjectName(QStringLiteral("trayMenu"));
    m_trayMenu->addAction(m_showCorvane);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_preferences);
    m_trayMenu->addAction(m_about);
    m_trayMenu->addAction(m_checkForUpdates);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_quit);
    connect(m_trayMenu.get(), &QMenu::aboutToShow, this,
        [this] { emit menuAboutToShow(m_trayMenu.get()); });
}

ApplicationMenu::~ApplicationMenu() = default;

QAction* ApplicationMenu::makeAction(const char* name)
{
    auto* action = new QAction(this);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QMenuBar* ApplicationMenu::createMenuBar()
{
    auto* bar = new QMenuBar;
    bar->setObjectName(QStringLiteral("menuBar"));
    m_menus.clear();

    QMenu* file = bar->addMenu(QString());
    file->setObjectName(QStringLiteral("menuFile"));
    file->addAction(m_addFiles);
    file->addAction(m_wipeFreeSpace);
    file->addSeparator();
    file->addAction(m_quit);

    QMenu* edit = bar->addMenu(QString());
    edit->setObjectName(QStringLiteral("menuEdit"));
    edit->addAction(m_preferences);

    QMenu* view = bar->addMenu(QString());
    view->setObjectName(QStringLiteral("menuView"));
    view->addAction(m_showCorvane);

    QMenu* help = bar->addMenu(QString());
    help->setObjectName(QStringLiteral("menuHelp"));
    help->addAction(m_otherApps);
    help->addAction(m_checkForUpdates);
    help->addSeparator();
    help->addAction(m_about);

    m_menus = {file, edit, view, help};
    for (QMenu* menu : {file, edit, view, help})
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { emit menuAboutToShow(menu); });
    setTitles();
    return bar;
}

QMenu* ApplicationMenu::trayMenu()
{
    return m_trayMenu.get();
}

void ApplicationMenu::setTitles()
{
    m_addFiles->setText(localizedText(QStringLiteral("IDS_KQ_302")));
    m_wipeFreeSpace->setText(localizedText(QStringLiteral("IDS_KQ_567")));
    m_quit->setText(localizedText(QStringLiteral("IDS_KQ_303")));
    m_preferences->setText(localizedText(QStringLiteral("IDS_KQ_305")));
    m_showCorvane->setText(localizedText(QStringLiteral("IDS_KQ_3")));
    m_otherApps->setText(localizedText(QStringLiteral("IDS_KQ_308")));
    m_checkForUpdates->setText(localizedText(QStringLiteral("IDS_KQ_1")));
    m_about->setText(localizedText(QStringLiteral("IDS_KQ_309")));
    const char* menuKeys[] = {"IDS_KQ_301", "IDS_KQ_304", "IDS_KQ_306", "IDS_KQ_307"};
    for (qsizetype i = 0; i < m_menus.size(); ++i) {
        if (m_menus.at(i))
            m_menus.at(i)->setTitle(localizedText(QString::fromLatin1(menuKeys[i])));
    }
}
