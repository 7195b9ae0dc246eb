// SPDX-License-Identifier: GPL-3.0-or-later
#include "FlatButtonPress.h"

#include "SYFlatButton.h"

#include <QKeyEvent>

namespace {

int flipped(int state)
{
    return state == 1 ? 0 : 1;
}

} // namespace

void FlatButtonPress::begin()
{
    m_button.setState(flipped(m_button.state()));
    emit m_button.pressed();
}

void FlatButtonPress::complete()
{
    if (m_button.momentary())
        m_button.setState(flipped(m_button.state()));
    emit m_button.released();
    emit m_button.clicked(m_button.state() == 1);
}

void FlatButtonPress::cancel()
{
    const bool wasPressed = isPressed();
    m_mouseDown = false;
    m_pressedKey = 0;
    m_button.setState(0);
    if (wasPressed)
        emit m_button.released();
}

bool FlatButtonPress::mousePress(bool leftButton, bool inside)
{
    if (!leftButton || !m_button.isEnabled() || m_pressedKey != 0 || !inside)
        return false;
    m_mouseDown = true;
    begin();
    return true;
}

void FlatButtonPress::mouseMove(bool inside)
{
    // While a button is held Qt delivers no leave event until the release, so dragging out of
    // the button is seen here.
    if (m_mouseDown && !inside) {
        m_button.unsetCursor();
        cancel();
    }
}

bool FlatButtonPress::mouseRelease(bool leftButton, bool inside)
{
    if (!leftButton || !m_mouseDown)
        return false;
    if (!inside) {
        cancel();
        return true;
    }
    m_mouseDown = false;
    complete();
    return true;
}

bool FlatButtonPress::keyPress(const QKeyEvent& event)
{
    const int key = event.key();
    if (key != Qt::Key_Space && key != Qt::Key_Enter && key != Qt::Key_Return)
        return false;
    if (event.isAutoRepeat() || m_pressedKey != 0 || m_mouseDown)
        return true;
    m_pressedKey = key;
    begin();
    return true;
}

bool FlatButtonPress::keyRelease(const QKeyEvent& event)
{
    if (m_pressedKey == 0 || event.key() != m_pressedKey)
        return false;
    if (event.isAutoRepeat())
        return true;
    m_pressedKey = 0;
    complete();
    return true;
}
