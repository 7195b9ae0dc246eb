// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>

class QBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

/// A warning shown as a sheet on a window: a warning icon, a bold message, an informative text,
/// an optional accessory view below them and a row of buttons at the bottom right.
///
/// The buttons do nothing by themselves: the caller connects each button's clicked() signal to
/// its action, and the action calls endSheet(). The first button added is the rightmost and the
/// default (Return) button unless setDefaultButton() says otherwise. Escape and the window's
/// close button do nothing unless an escape button was set; they then click it.
///
/// An alert is shown once: its owner makes a new one for every showing and deletes the old one.
class Alert : public QDialog
{
    Q_OBJECT

public:
    explicit Alert(QWidget* parent = nullptr);
    ~Alert() override;

    QString messageText() const;
    /// Also the dialog's accessible name, so screen readers announce what the alert is about.
    void setMessageText(const QString& text);
    QString informativeText() const;
    void setInformativeText(const QString& text);

    /// Adds a button to the left of the ones already there and returns it.
    QPushButton* addButtonWithTitle(const QString& title);
    /// In the order they were added.
    QList<QPushButton*> buttons() const;
    void setDefaultButton(QPushButton* button);
    QPushButton* defaultButton() const;
    void setEscapeButton(QPushButton* button);
    QPushButton* escapeButton() const;

    /// Shows `view` below the texts and gives it the keyboard focus when the sheet opens. The
    /// alert holds it only while it lives: when the alert is destroyed (or another accessory is
    /// set) the view goes back, hidden, to the parent it had, so a caller can reuse one field
    /// for every new alert. A view that had no parent is destroyed with the alert.
    void setAccessoryView(QWidget* view);
    QWidget* accessoryView() const;

    /// Shows the alert window-modal on `window`, centred over it (also when the window moves),
    /// and returns at once.
    void beginSheetModal(QWidget* window);
    /// Closes the alert without deleting it.
    void endSheet();

    /// The escape button is clicked if there is one; otherwise the alert stays.
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void releaseAccessoryView();

    QLabel* m_icon = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_informative = nullptr;
    QVBoxLayout* m_accessoryLayout = nullptr;
    QBoxLayout* m_buttonRow = nullptr;
    QList<QPushButton*> m_buttons;
    QPointer<QPushButton> m_escapeButton;
    QPointer<QWidget> m_accessory;
    QPointer<QWidget> m_accessoryHome;
};
