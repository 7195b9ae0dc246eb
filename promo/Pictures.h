// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

/// Our own pictures, kept as SVG resources and rendered at the size a screen asks for.
namespace Pictures {

enum class Picture
{
    HomeDrop, ///< home screen drop target, 200 x 160
    Progress, ///< shredding progress screen, 160 x 160
    ResultBadge, ///< result screen check mark badge (right_icon), 32 x 32
    ResultIllustration, ///< result screen illustration (Corvaneicon), 128 x 128
    ShareLink, ///< first link button of the result screen, 20 x 20
    CommunityLink, ///< second link button of the result screen, 20 x 20
    ApplicationIcon, ///< 256 x 256
    WebLink, ///< about pane: the home page button, 32 x 32
    TwitterLink, ///< about pane, 32 x 32
    FacebookLink, ///< about pane, 32 x 32
    SupportHelp, ///< support pane (iconsupport), 192 x 192
    SupportCall, ///< support pane (imgview_callicon), 128 x 128
    FlathubButton, ///< other-apps card button for an application on Flathub, 150 x 40
    DownloadButton, ///< other-apps card button for one downloaded from its own page, 150 x 40
};

/// The resource path of `picture`.
QString path(Picture picture);

/// The size the picture was drawn for.
QSize naturalSize(Picture picture);

/// `picture` rendered to fit `size` (its natural size when empty), aspect ratio kept and
/// centred, for a screen with `devicePixelRatio`. Null when the resource cannot be read.
QPixmap pixmap(Picture picture, QSize size = {}, qreal devicePixelRatio = 1.0);

/// Any SVG resource (for example a promoted application's icon) rendered the same way.
QPixmap renderSvg(const QString& resourcePath, QSize size, qreal devicePixelRatio = 1.0);

/// The sizes applicationIcon() carries.
QList<int> applicationIconSizes();

/// The application icon drawn for this project, one pixmap per size in applicationIconSizes().
QIcon builtInApplicationIcon();
/// "org.corvane.Corvane" from the icon theme, else builtInApplicationIcon().
QIcon applicationIcon();

} // namespace Pictures
