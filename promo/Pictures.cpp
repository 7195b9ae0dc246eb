// SPDX-License-Identifier: GPL-3.0-or-later
#include "Pictures.h"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

namespace Pictures {

QString path(Picture picture)
{
    switch (picture) {
    case Picture::HomeDrop:
        return QStringLiteral(":/pictures/home-drop.svg");
    case Picture::Progress:
        return QStringLiteral(":/pictures/progress.svg");
    case Picture::ResultBadge:
        return QStringLiteral(":/pictures/result-badge.svg");
    case Picture::ResultIllustration:
        return QStringLiteral(":/pictures/result-illustration.svg");
    case Picture::ShareLink:
        return QStringLiteral(":/pictures/result-share.svg");
    case Picture::CommunityLink:
        return QStringLiteral(":/pictures/result-community.svg");
    case Picture::ApplicationIcon:
        return QStringLiteral(":/icons/corvane.svg");
    case Picture::WebLink:
        return QStringLiteral(":/pictures/about-web.svg");
    case Picture::TwitterLink:
        return QStringLiteral(":/pictures/about-twitter.svg");
    case Picture::FacebookLink:
        return QStringLiteral(":/pictures/about-facebook.svg");
    case Picture::SupportHelp:
        return QStringLiteral(":/pictures/support-help.svg");
    case Picture::SupportCall:
        return QStringLiteral(":/pictures/support-call.svg");
    case Picture::FlathubButton:
        return QStringLiteral(":/pictures/button-flathub.svg");
    case Picture::DownloadButton:
        return QStringLiteral(":/pictures/button-download.svg");
    }
    return {};
}

QSize naturalSize(Picture picture)
{
    switch (picture) {
    case Picture::HomeDrop:
        return {200, 160};
    case Picture::Progress:
        return {160, 160};
    case Picture::ResultBadge:
        return {32, 32};
    case Picture::ResultIllustration:
        return {128, 128};
    case Picture::ShareLink:
    case Picture::CommunityLink:
        return {20, 20};
    case Picture::ApplicationIcon:
        return {256, 256};
    case Picture::WebLink:
    case Picture::TwitterLink:
    case Picture::FacebookLink:
        return {32, 32};
    case Picture::SupportHelp:
        return {192, 192};
    case Picture::SupportCall:
        return {128, 128};
    case Picture::FlathubButton:
    case Picture::DownloadButton:
        return {150, 40};
    }
    return {};
}

QPixmap pixmap(Picture picture, QSize size, qreal devicePixelRatio)
{
    return renderSvg(path(picture), size.isEmpty() ? naturalSize(picture) : size, devicePixelRatio);
}

QPixmap renderSvg(const QString& resourcePath, QSize size, qreal devicePixelRatio)
{
    QSvgRenderer renderer(resourcePath);
    if (!renderer.isValid() || size.isEmpty() || devicePixelRatio <= 0)
        return {};

    const QSize pixels = (QSizeF(size) * devicePixelRatio).toSize();
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);

    // Fit the drawing's own proportions into the box rather than stretching it.
    QSizeF drawn = renderer.viewBoxF().size();
    if (drawn.isEmpty())
        drawn = renderer.defaultSize();
    drawn.scale(QSizeF(pixels), Qt::KeepAspectRatio);
    const QRectF target(
        QPointF((pixels.width() - drawn.width()) / 2, (pixels.height() - drawn.height()) / 2),
        drawn);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer.render(&painter, target);
    painter.end();

    QPixmap result = QPixmap::fromImage(image);
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

QList<int> applicationIconSizes()
{
    return {16, 24, 32, 48, 64, 128, 256};
}

QIcon builtInApplicationIcon()
{
    QIcon icon;
    for (int side : applicationIconSizes())
        icon.addPixmap(renderSvg(path(Picture::ApplicationIcon), QSize(side, side)));
    return icon;
}

QIcon applicationIcon()
{
    // The theme's, so that a theme that draws its own version of it is followed; ours where
    // no theme has it (a build that is not installed).
    return QIcon::fromTheme(QStringLiteral("org.corvane.Corvane"), builtInApplicationIcon());
}

} // namespace Pictures
