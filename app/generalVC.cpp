// SPDX-License-Identifier: GPL-3.0-or-later
#include "generalVC.h"

#include "LanguageTable.h"
#include "LaunchOnStartup.h"
#include "SUUpdater.h"
#include "UserDefaults.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QPointer<SUUpdater> g_updater;

QLabel* sectionTitle(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont font = label->font();
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    return label;
}

// Only an integer counts; 1 is on and any other integer off. Anything else leaves the box be.
void showStored(QCheckBox* box, const QString& key)
{
    if (const std::optional<qint64> value = UserDefaults::standardUserDefaults().integerForKey(key))
        box->setChecked(*value == 1);
}

} // namespace

generalVC::generalVC(QWidget* parent)
    : BaseViewController(parent)
{ }

void generalVC::setUpdater(SUUpdater* updater)
{
    g_updater = updater;
}

void generalVC::loadView()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(8);
    m_lbltitle = sectionTitle(this, "lbltitle");
    m_checkboxAutolaunch = new QCheckBox(this);
    m_checkboxAutolaunch->setObjectName(QStringLiteral("checkboxAutolaunch"));
    m_lblAppUpdateTitle = sectionTitle(this, "lblAppUpdateTitle");
    m_checkbox_autoUpdate = new QCheckBox(this);
    m_checkbox_autoUpdate->setObjectName(QStringLiteral("checkbox_autoUpdate"));
    m_updateSourceNote = new QLabel(this);
    m_updateSourceNote->setObjectName(QStringLiteral("updateSourceNote"));
    m_updateSourceNote->setWordWrap(true);
    m_updateSourceNote->hide();
    layout->addWidget(m_lbltitle);
    layout->addWidget(m_checkboxAutolaunch);
    layout->addSpacing(16);
    layout->addWidget(m_lblAppUpdateTitle);
    layout->addWidget(m_checkbox_autoUpdate);
    layout->addWidget(m_updateSourceNote);
    layout->addStretch(1);
}

void generalVC::viewDidLoad()
{
    m_checkboxAutolaunch->setText(localizedText(QStringLiteral("IDS_KQ_48")));
    m_checkbox_autoUpdate->setText(localizedText(QStringLiteral("IDS_KQ_95")));
    m_lbltitle->setText(localizedText(QStringLiteral("IDS_KQ_47")));
    m_lblAppUpdateTitle->setText(localizedText(QStringLiteral("IDS_KQ_15")));
    showStored(m_checkboxAutolaunch, QStringLiteral("startloginstatus"));

    // clicked, not toggled: only the user's own change is stored and applied.
    connect(
        m_checkboxAutolaunch, &QAbstractButton::clicked, this, &generalVC::checkbox_startatLogin);
    connect(
        m_checkbox_autoUpdate, &QAbstractButton::clicked, this, &generalVC::checkbox_autoupdate);
}

void generalVC::viewWillAppear()
{
    showUpdateChoice();
}

void generalVC::showUpdateChoice()
{
    if (g_updater && g_updater->installsUpdates()) {
        // A missing or mistyped mode is stored as 1 by the next launch, so the box shows that
        // from the first session on instead of turning itself on a start later.
        m_checkbox_autoUpdate->setEnabled(true);
        m_checkbox_autoUpdate->setChecked(true);
        showStored(m_checkbox_autoUpdate, QStringLiteral("_checkforUpdate_"));
        m_updateSourceNote->hide();
        return;
    }
    // Nothing would be installed, whatever is stored: say so and where updates come from.
    m_checkbox_autoUpdate->setEnabled(false);
    m_checkbox_autoUpdate->setChecked(false);
    m_updateSourceNote->setText(
        localizedText(g_updater && g_updater->isConfigured() ? QStringLiteral("IDS_KQ_341")
                                                             : QStringLiteral("IDS_KQ_340")));
    m_updateSourceNote->show();
}

void generalVC::checkbox_startatLogin()
{
    const bool on = m_checkboxAutolaunch->isChecked();
    UserDefaults::standardUserDefaults().setInteger(QStringLiteral("startloginstatus"), on ? 1 : 0);
    LaunchOnStartup::setLaunchOnStartup(on);
}

void generalVC::checkbox_autoupdate()
{
    // Read by the next launch; a download already running goes on.
    UserDefaults::standardUserDefaults().setInteger(
        QStringLiteral("_checkforUpdate_"), m_checkbox_autoUpdate->isChecked() ? 1 : 0);
}
