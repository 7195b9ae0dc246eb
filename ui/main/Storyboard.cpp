// SPDX-License-Identifier: GPL-3.0-or-later
#include "Storyboard.h"

#include "ViewController.h"
#include "mainContainerVc.h"
#include "mainWindowController.h"
#include "shredderFilesvc.h"
#include "shredderResultVC.h"
#include "shreddingFilesVC.h"

#include <QObject>

Storyboard& Storyboard::mainStoryboard()
{
    static Storyboard* storyboard = [] {
        auto* board = new Storyboard;
        board->registerController(
            QStringLiteral("mainWindowController"), [] { return new mainWindowController; });
        board->registerController(
            QStringLiteral("mainContainerVc"), [] { return new mainContainerVc; });
        board->registerController(
            QStringLiteral("ViewController"), [] { return new ViewController; });
        board->registerController(
            QStringLiteral("shredderFilesvc"), [] { return new shredderFilesvc; });
        board->registerController(
            QStringLiteral("shreddingFilesVC"), [] { return new shreddingFilesVC; });
        board->registerController(
            QStringLiteral("shredderResultVC"), [] { return new shredderResultVC; });
        return board;
    }();
    return *storyboard;
}

QObject* Storyboard::instantiateController(const QString& identifier) const
{
    const auto it = m_factories.constFind(identifier);
    return it == m_factories.cend() ? nullptr : (*it)();
}

QObject* Storyboard::sharedController(const QString& identifier)
{
    if (QObject* made = m_shared.value(identifier))
        return made;
    QObject* made = instantiateController(identifier);
    if (made)
        m_shared.insert(identifier, made);
    return made;
}

void Storyboard::registerController(const QString& identifier, Factory factory)
{
    m_factories.insert(identifier, std::move(factory));
}
