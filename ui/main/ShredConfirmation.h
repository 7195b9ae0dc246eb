// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Alert.h"
#include "ShredPlan.h"

#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPointer>

/// The files list screen's guard before a shred: the nothing-selected and only-empty-folders
/// alerts, and the confirmation with its typed word, which posts "ShredData" when the word
/// matches. Each alert is a new object every time it is shown; the cover is up while one is.
class ShredConfirmation : public QObject
{
    Q_OBJECT

public:
    /// Alerts belong to `screen`; `cover` is shown over it while one is up, `waiting` hidden.
    ShredConfirmation(QWidget* screen, QWidget* cover, QWidget* waiting);
    ~ShredConfirmation() override;

    /// The confirmation alert, told what `storage` means for the checked files.
    void alertforDelete(const ShredPlan::StorageSummary& storage);
    void alertforEmptyselection();
    /// Its first button goes on to the confirmation, told about `storage`.
    void alertforfileselection(const ShredPlan::StorageSummary& storage);
    /// A new alert replacing `slot`'s, with the cover up.
    Alert* makeAlert(QPointer<Alert>& slot, const QString& message, const QString& informative);

    Alert* confirmationAlert() const { return m_alert; }
    Alert* nothingSelectedAlert() const { return m_alert1; }
    Alert* onlyEmptyFoldersAlert() const { return m_alertnofileSelected; }
    QLineEdit* confirmationField() const { return m_txt; }
    QLabel* wordMismatchLine() const { return m_wordMismatch; }

private:
    /// The line with the files, their size and the method.
    QString confirmationTotals() const;
    void controlTextDidChange();
    void OKalert();
    void cancelalert();
    void alertAction();
    void btnokNofileSelected();
    void btnCancelNofileSelected();

    QWidget* m_screen;
    QWidget* m_cover;
    QWidget* m_waiting;
    const QString m_inputTextforalert;
    QPointer<Alert> m_alert;
    QPointer<QLineEdit> m_txt;
    QPointer<QLabel> m_wordMismatch;
    QPointer<Alert> m_alert1;
    QPointer<Alert> m_alertnofileSelected;
    ShredPlan::StorageSummary m_storage;
    bool m_shredPosted = false;
};
