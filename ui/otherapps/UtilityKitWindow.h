// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ContentWindowController.h"

class Storyboard;
class utilityKitvc;

/// The other-apps window. Its content is the process-wide `utilityKitvc`.
class UtilityKitWindow : public ContentWindowController
{
    Q_OBJECT

public:
    explicit UtilityKitWindow(QObject* parent = nullptr);

    /// Registers "UtilityKitWindow" and "utilityKitvc" with `storyboard`.
    static void registerControllers(Storyboard& storyboard);

    utilityKitvc* contentViewController() const { return m_content; }

protected:
    QWidget* loadWindow() override;
    void windowDidLoad() override;

private:
    utilityKitvc* m_content = nullptr;
};
