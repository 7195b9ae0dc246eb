// SPDX-License-Identifier: GPL-3.0-or-later
#include "tabViewSettings.h"

#include "LanguageTable.h"
#include "Storyboard.h"

#include <QTabWidget>
#include <QVBoxLayout>

namespace {
int g_requestedTab = 0;
}

tabViewSettings::tabViewSettings(QWidget* parent)
    : BaseViewController(parent)
{ }

int tabViewSettings::requestedTab()
{
    return g_requestedTab;
}

void tabViewSettings::setRequestedTab(int index)
{
    g_requestedTab = index;
}

void tabViewSettings::loadView()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabView"));
    m_tabs->setDocumentMode(false);
    const Storyboard& board = Storyboard::mainStoryboard();
    for (const char* identifier : {"generalVC", "aboutVc", "supportVc"}) {
        auto* pane
            = board.instantiateController<BaseViewController>(QString::fromLatin1(identifier));
        if (pane)
            m_tabs->addTab(pane->view(), QString());
    }
    layout->addWidget(m_tabs);
}

void tabViewSettings::viewDidLoad()
{
    m_tabs->setTabText(0, localizedText(QStringLiteral("IDS_KQ_96")));
    m_tabs->setTabText(1, localizedText(QStringLiteral("IDS_KQ_98")));
    m_tabs->setTabText(2, localizedText(QStringLiteral("IDS_KQ_310")));
}

void tabViewSettings::viewWillAppear()
{
    // Before the window is painted, so it never flashes the previous tab first.
    applyRequestedTab();
}

void tabViewSettings::applyRequestedTab()
{
    if (g_requestedTab >= 0 && g_requestedTab < m_tabs->count())
        m_tabs->setCurrentIndex(g_requestedTab);
    g_requestedTab = 0;
}
