// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLineEdit>

/// Text field in which Ctrl+X, C, V, Z, A and Ctrl+Shift+Z cut, copy, paste, undo, select all
/// and redo, even where a window's own shortcuts would take those keys first.
class Editing : public QLineEdit
{
    Q_OBJECT

public:
    explicit Editing(QWidget* parent = nullptr);

    /// Applies the editing command bound to `event`'s keys; false when it has none.
    bool performKeyEquivalent(const QKeyEvent* event);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Command
    {
        None,
        Cut,
        Copy,
        Paste,
        Undo,
        Redo,
        SelectAll
    };
    static Command commandFor(const QKeyEvent* event);
};
