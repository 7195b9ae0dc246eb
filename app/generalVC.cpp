// SPDX-License-Identifier: GPL-3.0-or-later
#include "generalVC.h"

#include "LanguageTable.h"
#include "LaunchOnStartup.h"
#include "UserDefaults.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

namespace {

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
    layout->addWidget(m_lbltitle);
    layout->addWidget(m_checkboxAutolaunch);
    layout->addSpacing(16);
    layout->addWidget(m_lblAppUpdateTitle);
    layout->addWidget(m_checkbox_autoUpdate);
    layout->addStretch(1);
}

void generalVC::viewDidLoad()
{
    m_checkboxAutolaunch->setText(localizedText(QStringLiteral("IDS_KQ_48")));
    m_checkbox_autoUpdate->setText(localizedText(QStringLiteral("IDS_KQ_95")));
    m_lbltitle->setText(localizedText(QStringLiteral("IDS_KQ_47")));
    m_lblAppUpdateTitle->setText(localizedText(QStringLiteral("IDS_KQ_15")));
    showStored(m_checkboxAutolaunch, QStringLiteral("startloginstatus"));
    showStored(m_checkbox_autoUpdate, QStringLiteral("_checkforUpdate_"));

    // clicked, not toggled: only the user's own change is stored and applied.
    connect(
        m_checkboxAutolaunch, &QAbstractButton::clicked, this, &generalVC::checkbox_startatLogin);
    connect(
        m_checkbox_autoUpdate, &QAbstractButton::clicked, this, &generalVC::checkbox_autoupdate);
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
