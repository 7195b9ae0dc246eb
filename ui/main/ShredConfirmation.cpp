// SPDX-License-Identifier: GPL-3.0-or-later
#include "ShredConfirmation.h"

#include "ErasureTexts.h"
#include "LanguageTable.h"
#include "NotificationCenter.h"
#include "SharedState.h"
#include "ShredSettings.h"
#include "SizeText.h"
#include "mainWindowController.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString text(const char* key)
{
    return localizedText(QString::fromLatin1(key));
}

QWidget* mainWindow()
{
    return mainWindowController::shared().window();
}

} // namespace

ShredConfirmation::ShredConfirmation(QWidget* screen, QWidget* cover, QWidget* waiting)
    : QObject(screen)
    , m_screen(screen)
    , m_cover(cover)
    , m_waiting(waiting)
    , m_inputTextforalert(text("IDS_KQ_28"))
{ }

ShredConfirmation::~ShredConfirmation()
{
    for (Alert* alert : {m_alert.data(), m_alert1.data(), m_alertnofileSelected.data()})
        delete alert;
}

Alert* ShredConfirmation::makeAlert(
    QPointer<Alert>& slot, const QString& message, const QString& informative)
{
    m_cover->show();
    m_cover->raise();
    m_waiting->hide();
    if (slot) {
        slot->endSheet();
        slot->deleteLater();
    }
    slot = new Alert(m_screen);
    slot->setMessageText(message);
    slot->setInformativeText(informative);
    return slot;
}

QString ShredConfirmation::confirmationTotals() const
{
    // Counted from the plan the run will get, so a file listed twice counts once here too.
    const ShredPlan::Totals totals
        = ShredPlan::totals(ShredPlan::fromItems(SharedState::instance().arrFileList));
    const ShredSettings settings;
    const QString method = ErasureTexts::methodText(settings.method());
    QString line = totals.files == 1
        ? localizedFormat(QStringLiteral("IDS_KQ_539"), {sizeText(double(totals.bytes)), method})
        : localizedFormat(QStringLiteral("IDS_KQ_538"),
            {QString::number(totals.files), sizeText(double(totals.bytes)), method});
    if (settings.verify())
        line += u' ' + text("IDS_KQ_580");
    return line;
}

void ShredConfirmation::alertforDelete(const ShredPlan::StorageSummary& storage)
{
    QString informative = localizedFormat(QStringLiteral("IDS_KQ_27"), m_inputTextforalert)
        + QStringLiteral("\n\n") + confirmationTotals();
    if (!storage.warned.isEmpty()) {
        informative += QStringLiteral("\n\n")
            + localizedFormat(QStringLiteral("IDS_KQ_247"), QString::number(storage.warned.size()));
    }
    if (const qsizetype refused = storage.refused.size(); refused > 0) {
        informative += QStringLiteral("\n\n")
            + (refused == 1
                    ? text("IDS_KQ_345")
                    : localizedFormat(QStringLiteral("IDS_KQ_344"), QString::number(refused)));
    }
    Alert* alert = makeAlert(m_alert, text("IDS_KQ_26"), informative);
    QPushButton* cancel = alert->addButtonWithTitle(text("IDS_KQ_29"));
    QPushButton* shred = alert->addButtonWithTitle(text("IDS_KQ_30"));
    shred->setEnabled(false);
    cancel->setFocusPolicy(Qt::NoFocus);
    alert->setEscapeButton(cancel);
    alert->setDefaultButton(nullptr);
    connect(shred, &QAbstractButton::clicked, this, &ShredConfirmation::OKalert);
    connect(cancel, &QAbstractButton::clicked, this, &ShredConfirmation::cancelalert);

    // The field, and under it the line that says so when Enter finds the word wrong.
    auto* accessory = new QWidget;
    auto* column = new QVBoxLayout(accessory);
    column->setContentsMargins(0, 0, 0, 0);
    m_txt = new QLineEdit(accessory);
    m_txt->setObjectName(QStringLiteral("txt"));
    m_txt->setMinimumWidth(200);
    m_txt->setAccessibleName(m_inputTextforalert);
    m_txt->clear();
    m_wordMismatch
        = new QLabel(localizedFormat(QStringLiteral("IDS_KQ_581"), m_inputTextforalert), accessory);
    m_wordMismatch->setObjectName(QStringLiteral("lblWordMismatch"));
    m_wordMismatch->setWordWrap(true);
    m_wordMismatch->hide();
    column->addWidget(m_txt);
    column->addWidget(m_wordMismatch);
    accessory->setFocusProxy(m_txt);
    connect(m_txt, &QLineEdit::textChanged, this, &ShredConfirmation::controlTextDidChange);
    // Enter confirms, but only once the word is right; before that it says what is wrong.
    connect(m_txt, &QLineEdit::returnPressed, this, [this] {
        if (m_txt->text() != m_inputTextforalert)
            m_wordMismatch->show();
        OKalert();
    });
    alert->setAccessoryView(accessory);
    alert->beginSheetModal(mainWindow());
    m_txt->setFocus();
}

void ShredConfirmation::controlTextDidChange()
{
    if (!m_alert || m_alert->buttons().size() < 2)
        return;
    const bool matches = m_txt && m_txt->text() == m_inputTextforalert;
    if (m_wordMismatch)
        m_wordMismatch->hide();
    QPushButton* shred = m_alert->buttons().at(1);
    shred->setEnabled(matches);
    m_alert->setDefaultButton(matches ? shred : nullptr);
}

void ShredConfirmation::OKalert()
{
    if (!m_txt || m_txt->text() != m_inputTextforalert || m_shredPosted)
        return;
    m_shredPosted = true;
    m_cover->hide();
    if (m_alert)
        m_alert->endSheet();
    NotificationCenter::defaultCenter().post(QStringLiteral("ShredData"));
}

void ShredConfirmation::cancelalert()
{
    m_cover->hide();
    if (m_alert)
        m_alert->endSheet();
}

void ShredConfirmation::alertforEmptyselection()
{
    Alert* alert = makeAlert(m_alert1, text("IDS_KQ_31"), text("IDS_KQ_32"));
    QPushButton* ok = alert->addButtonWithTitle(text("IDS_KQ_12"));
    alert->setEscapeButton(ok);
    connect(ok, &QAbstractButton::clicked, this, &ShredConfirmation::alertAction);
    alert->beginSheetModal(mainWindow());
}

void ShredConfirmation::alertAction()
{
    m_cover->hide();
    if (m_alert1)
        m_alert1->endSheet();
}

void ShredConfirmation::alertforfileselection(const ShredPlan::StorageSummary& storage)
{
    m_storage = storage;
    Alert* alert = makeAlert(m_alertnofileSelected, text("IDS_KQ_57"), text("IDS_KQ_64"));
    QPushButton* go = alert->addButtonWithTitle(text("IDS_KQ_28"));
    QPushButton* cancel = alert->addButtonWithTitle(text("IDS_KQ_108"));
    // Return and Escape both take the safe way out; going on needs a deliberate click.
    alert->setDefaultButton(cancel);
    alert->setEscapeButton(cancel);
    connect(go, &QAbstractButton::clicked, this, &ShredConfirmation::btnokNofileSelected);
    connect(cancel, &QAbstractButton::clicked, this, &ShredConfirmation::btnCancelNofileSelected);
    alert->beginSheetModal(mainWindow());
}

void ShredConfirmation::btnokNofileSelected()
{
    m_cover->hide();
    if (m_alertnofileSelected)
        m_alertnofileSelected->endSheet();
    alertforDelete(m_storage);
}

void ShredConfirmation::btnCancelNofileSelected()
{
    m_cover->hide();
    if (m_alertnofileSelected)
        m_alertnofileSelected->endSheet();
}
