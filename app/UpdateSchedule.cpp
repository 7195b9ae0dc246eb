// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpdateSchedule.h"

#include "Bundle.h"
#include "UsageAnalytics.h"
#include "UserDefaults.h"

#include <QRegularExpression>
#include <QTimer>
#include <utility>

UpdateSchedule::UpdateSchedule(QObject* parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
{
    m_timer->setObjectName(QStringLiteral("updateTimer"));
    m_timer->setSingleShot(true);
    m_timer->setInterval(5000);
    connect(m_timer, &QTimer::timeout, this,
        [this] { emit due(std::exchange(m_scheduled, Call::None)); });
}

bool UpdateSchedule::isUpgrade(const QString& last, const QString& current)
{
    if (last.toLower() == current)
        return false;
    // A plain decimal number and nothing else: "1.2.3", "inf" or "0x1" are no version numbers.
    static const QRegularExpression decimal(QRegularExpression::anchoredPattern(
        QStringLiteral("[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?")));
    bool lastIsNumber = false;
    bool currentIsNumber = false;
    const float lastValue = last.toFloat(&lastIsNumber);
    const float currentValue = current.toFloat(&currentIsNumber);
    return lastIsNumber && currentIsNumber && decimal.match(last).hasMatch()
        && decimal.match(current).hasMatch() && lastValue < currentValue;
}

void UpdateSchedule::detectUpgrade(const Bundle& bundle, UsageAnalytics& analytics)
{
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    const std::optional<QString> last = defaults.stringForKey(QStringLiteral("lastVersion"));
    const QString current = bundle.shortVersionString();
    if (!last || !isUpgrade(*last, current))
        return;
    defaults.setString(QStringLiteral("lastVersion"), current);
    analytics.sendAnalyticsEvent(QStringLiteral("kqupdated"), current);
}

void UpdateSchedule::scheduleUpdateCall()
{
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    const QString key = QStringLiteral("_checkforUpdate_");
    std::optional<qint64> mode = defaults.integerForKey(key);
    if (!mode) {
        defaults.setInteger(key, 1);
        mode = 1;
    }
    if (*mode == 0)
        m_scheduled = Call::CheckForUpdate;
    else if (*mode == 1)
        m_scheduled = Call::AutoInstallUpdates;
    else
        return;
    m_timer->start();
}
