// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessible>
#include <QStringList>
#include <QWidget>

/// The controls on show in `root` that a screen reader lets the user act on but names with
/// nothing, as "Class objectName"; `count` gets how many such controls there are in all.
inline QStringList unnamedControls(QWidget* root, int* count)
{
    static const QList<QAccessible::Role> interactive {QAccessible::PushButton,
        QAccessible::CheckBox, QAccessible::RadioButton, QAccessible::ComboBox,
        QAccessible::EditableText, QAccessible::Link, QAccessible::ButtonMenu,
        QAccessible::ButtonDropDown, QAccessible::Tree, QAccessible::List, QAccessible::Table,
        QAccessible::SpinBox, QAccessible::Slider};
    QStringList unnamed;
    *count = 0;
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        QAccessibleInterface* control = QAccessible::queryAccessibleInterface(widget);
        if (!widget->isVisibleTo(root) || !control || !interactive.contains(control->role()))
            continue;
        ++*count;
        if (control->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << QString::fromLatin1(widget->metaObject()->className()) + u' '
                    + widget->objectName();
    }
    return unnamed;
}
