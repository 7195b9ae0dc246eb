// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QKeyEvent;
class SYFlatButton;

/// One press of a flat button, by the mouse or by Space, Enter or Return: a press toggles the
/// state, a release inside completes it (a momentary button toggles back) and emits clicked();
/// leaving, losing focus or being disabled cancels it and sets the state to 0.
class FlatButtonPress
{
public:
    explicit FlatButtonPress(SYFlatButton& button)
        : m_button(button)
    { }

    bool mouseDown() const { return m_mouseDown; }
    bool keyDown() const { return m_pressedKey != 0; }
    bool isPressed() const { return m_mouseDown || m_pressedKey != 0; }

    /// Each returns whether the button takes the event.
    bool mousePress(bool leftButton, bool inside);
    void mouseMove(bool inside);
    bool mouseRelease(bool leftButton, bool inside);
    bool keyPress(const QKeyEvent& event);
    bool keyRelease(const QKeyEvent& event);

    /// Sets the state to 0, and ends a press in progress.
    void cancel();

private:
    void begin();
    void complete();

    SYFlatButton& m_button;
    bool m_mouseDown = false;
    int m_pressedKey = 0;
};
