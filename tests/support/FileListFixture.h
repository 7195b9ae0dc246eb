// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Header only: it shows the application's list model and row delegate, which the support
// library does not link.

#include "FileListModel.h"
#include "ListScan.h"
#include "outlinviewClass.h"
#include "tblcell_shredderFiles.h"

#include <QAbstractItemModelTester>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

inline QStringList childNames(const QModelIndex& parent)
{
    QStringList names;
    for (int row = 0; row < parent.model()->rowCount(parent); ++row)
        names.append(parent.model()->index(row, 0, parent).data().toString());
    return names;
}

/// `entries` scanned into the list and shown through the model (watched by the model tester),
/// the real tree view and the row delegate.
struct ListFixture
{
    TempTree tree;
    bool ready;
    FileListModel model;
    outlinviewClass view;
    tblcell_shredderFiles delegate;
    QAbstractItemModelTester tester {
        &model, QAbstractItemModelTester::FailureReportingMode::QtTest};
    QSignalSpy removed {&delegate, &tblcell_shredderFiles::removeRequested};
    QSignalSpy revealed {&delegate, &tblcell_shredderFiles::revealRequested};

    /// Shows `entries` scanned into a fresh list; without entries, the list as it is.
    explicit ListFixture(const QStringList& entries = {})
        : ready(entries.isEmpty() || populate(tree, entries))
    {
        view.setModel(&model);
        delegate.install(&view);
        view.resize(700, 400);
        view.show();
        ready = ready && QTest::qWaitForWindowExposed(&view);
    }

    QStyleOptionViewItem option(const QModelIndex& index)
    {
        QStyleOptionViewItem option;
        option.initFrom(&view);
        option.widget = &view;
        option.rect = view.visualRect(index);
        return option;
    }

    void click(const QPoint& point)
    {
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, point);
    }

    // `rect` (viewport coordinates) of `index`'s row painted alone on `background`.
    QImage paint(const QModelIndex& index, const QRect& rect, const QColor& background = Qt::white)
    {
        QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(background);
        QPainter painter(&image);
        delegate.paint(&painter, option(index), index);
        return image.copy(rect);
    }

    bool blank(const QModelIndex& index, const QRect& rect)
    {
        QImage white(rect.size(), QImage::Format_ARGB32_Premultiplied);
        white.fill(Qt::white);
        return !rect.isEmpty() && paint(index, rect) == white;
    }
};

inline QPalette listPalette(QRgb window, QRgb base, QRgb text)
{
    QPalette palette(QColor::fromRgb(window), QColor::fromRgb(window));
    palette.setColor(QPalette::Base, QColor::fromRgb(base));
    for (const QPalette::ColorRole role :
        {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        palette.setColor(role, QColor::fromRgb(text));
    return palette;
}

// Pixels of `image` that stand out from `background` (a channel more than `by` away).
inline int inkPixels(const QImage& image, const QColor& background, int by)
{
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            ink += std::abs(pixel.red() - background.red()) > by
                || std::abs(pixel.green() - background.green()) > by
                || std::abs(pixel.blue() - background.blue()) > by;
        }
    }
    return ink;
}
