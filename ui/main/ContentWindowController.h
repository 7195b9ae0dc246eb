// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Storyboard.h"
#include "WindowController.h"

/// A window whose whole content is one process-wide view controller of the main storyboard:
/// the settings, welcome and other-apps windows. GUI thread only.
class ContentWindowController : public WindowController
{
    Q_OBJECT

public:
    using WindowController::WindowController;

protected:
    /// A bare window named `objectName`, with a column layout `margin` pixels inside its edges
    /// that will hold the content.
    static QWidget* makeWindow(const QString& objectName, int margin);

    /// Puts the storyboard's shared `identifier` controller into the window and returns it;
    /// null, and the window left empty, when the storyboard has no such controller.
    template<typename T>
    T* embedContent(const QString& identifier)
    {
        T* content = Storyboard::mainStoryboard().sharedController<T>(identifier);
        if (content) {
            // Through the content's own type: a widget must be given its parent as a widget.
            // The window owns it from now on; the storyboard keeps only a weak reference.
            content->setParent(window());
            addView(content->view());
        }
        return content;
    }

private:
    void addView(QWidget* view);
};
