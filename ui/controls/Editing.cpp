// SPDX-License-Identifier: GPL-3.0-or-later
#include "Editing.h"

#include <QKeyEvent>

Editing::Editing(QWidget* parent)
    : QLineEdit(parent)
{ }

Editing::Command Editing::commandFor(const QKeyEvent* event)
{
    // Exactly Ctrl, or exactly Ctrl+Shift for redo: Ctrl+Alt+C and the like stay free.
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier) {
        switch (event->key()) {
        case Qt::Key_X:
            return Command::Cut;
        case Qt::Key_C:
            return Command::Copy;
        case Qt::Key_V:
            return Command::Paste;
        case Qt::Key_Z:
            return Command::Undo;
        case Qt::Key_A:
            return Command::SelectAll;
        default:
            return Command::None;
        }
    }
    if (modifiers == (Qt::ControlModifier | Qt::ShiftModifier) && event->key() == Qt::Key_Z)
        return Command::Redo;
    return Command::None;
}

bool Editing::performKeyEquivalent(const QKeyEvent* event)
{
    switch (commandFor(event)) {
    case Command::None:
        return false;
    case Command::Cut:
        cut();
        break;
    case Command::Copy:
        copy();
        break;
    case Command::Paste:
        paste();
        break;
    case Command::Undo:
        undo();
        break;
    case Command::Redo:
        redo();
        break;
    case Command::SelectAll:
        selectAll();
        break;
    }
    return true;
}

bool Editing::event(QEvent* event)
{
    // Claim our keys before any window or application shortcut bound to them fires.
    if (event->type() == QEvent::ShortcutOverride
        && commandFor(static_cast<QKeyEvent*>(event)) != Command::None) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void Editing::keyPressEvent(QKeyEvent* event)
{
    if (performKeyEquivalent(event)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
