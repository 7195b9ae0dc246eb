// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpdateWindow.h"

#include "LanguageTable.h"
#include "SizeText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

UpdateWindow::UpdateWindow(QWidget* parent)
    : QDialog(parent)
    , m_heading(new QLabel(this))
    , m_message(new QLabel(this))
    , m_notes(new QTextBrowser(this))
    , m_progress(new QProgressBar(this))
    , m_primary(new QPushButton(this))
    , m_secondary(new QPushButton(this))
{
    setObjectName(QStringLiteral("updateWindow"));
    setWindowTitle(localizedText(QStringLiteral("IDS_KQ_525")));
    m_heading->setObjectName(QStringLiteral("heading"));
    m_message->setObjectName(QStringLiteral("message"));
    m_notes->setObjectName(QStringLiteral("releaseNotes"));
    m_progress->setObjectName(QStringLiteral("progress"));
    m_primary->setObjectName(QStringLiteral("primaryButton"));
    m_secondary->setObjectName(QStringLiteral("secondaryButton"));

    QFont headingFont = m_heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.2);
    m_heading->setFont(headingFont);
    m_heading->setWordWrap(true);
    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The notes come from the feed: shown, never fetched from, and links open only on a click.
    m_notes->setOpenExternalLinks(true);
    m_notes->setOpenLinks(true);
    m_notes->setMinimumHeight(160);
    m_progress->setTextVisible(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_secondary);
    buttons->addWidget(m_primary);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 18, 20, 16);
    layout->setSpacing(10);
    layout->addWidget(m_heading);
    layout->addWidget(m_message);
    layout->addWidget(m_notes, 1);
    layout->addWidget(m_progress);
    // Takes the height the notes leave when they are hidden, so the texts stay together.
    layout->addStretch();
    layout->addLayout(buttons);
    setMinimumWidth(440);

    connect(m_primary, &QPushButton::clicked, this, [this] { act(m_primaryAction); });
    connect(m_secondary, &QPushButton::clicked, this, [this] { act(m_secondaryAction); });
}

void UpdateWindow::present(const QString& heading, const QString& message, const QString& primary,
    Action primaryAction, const QString& secondary, Action secondaryAction)
{
    m_heading->setText(heading);
    m_message->setText(message);
    m_message->setVisible(!message.isEmpty());
    m_primary->setText(primary);
    m_primary->setVisible(!primary.isEmpty());
    m_primary->setDefault(!primary.isEmpty());
    m_primaryAction = primaryAction;
    m_secondary->setText(secondary);
    m_secondary->setVisible(!secondary.isEmpty());
    m_secondaryAction = secondaryAction;
    m_notes->hide();
    m_progress->hide();
    fitContents();
    show();
    raise();
    activateWindow();
}

void UpdateWindow::fitContents()
{
    // The layout learns of shown and hidden parts only when activated; sized before that, the
    // window would keep the height of the step before.
    layout()->activate();
    const int fitted = isVisible() ? width() : qMax(480, minimumSizeHint().width());
    resize(fitted, qMax(minimumSizeHint().height(), heightForWidth(fitted)));
}

void UpdateWindow::act(Action action)
{
    switch (action) {
    case Action::Install:
        emit installRequested();
        return;
    case Action::Restart:
        emit restartRequested();
        return;
    case Action::Cancel:
        emit cancelRequested();
        break;
    case Action::Close:
        break;
    }
    close();
}

void UpdateWindow::showChecking()
{
    present(localizedText(QStringLiteral("IDS_KQ_500")), QString(), QString(), Action::Close,
        localizedText(QStringLiteral("IDS_KQ_501")), Action::Cancel);
    m_progress->setRange(0, 0);
    m_progress->show();
}

void UpdateWindow::showUpToDate(const QString& runningVersion)
{
    present(localizedText(QStringLiteral("IDS_KQ_502")),
        localizedFormat(QStringLiteral("IDS_KQ_503"), runningVersion),
        localizedText(QStringLiteral("IDS_KQ_12")), Action::Close, QString(), Action::Close);
}

void UpdateWindow::showUpdateAvailable(
    const AppcastItem& item, const QString& runningVersion, bool installable)
{
    if (installable)
        present(localizedText(QStringLiteral("IDS_KQ_504")),
            localizedFormat(QStringLiteral("IDS_KQ_505"), {item.displayVersion(), runningVersion}),
            localizedText(QStringLiteral("IDS_KQ_506")), Action::Install,
            localizedText(QStringLiteral("IDS_KQ_507")), Action::Close);
    else
        present(localizedText(QStringLiteral("IDS_KQ_504")),
            localizedFormat(QStringLiteral("IDS_KQ_514"), {item.displayVersion(), runningVersion}),
            localizedText(QStringLiteral("IDS_KQ_12")), Action::Close, QString(), Action::Close);
    QString notes = item.description;
    if (!notes.isEmpty() && !Qt::mightBeRichText(notes))
        notes = Qt::convertFromPlainText(notes);
    if (item.releaseNotesLink.isValid() && item.releaseNotesLink.scheme() == u"https")
        notes += u"<p><a href=\""
            + item.releaseNotesLink.toString(QUrl::FullyEncoded).toHtmlEscaped() + u"\">"
            + localizedText(QStringLiteral("IDS_KQ_523")).toHtmlEscaped() + u"</a></p>";
    if (!notes.isEmpty()) {
        m_notes->setHtml(notes);
        m_notes->show();
        fitContents();
    }
}

void UpdateWindow::showProgress(const AppcastItem& item, qint64 received, qint64 total)
{
    const QString heading = localizedFormat(QStringLiteral("IDS_KQ_508"), item.displayVersion());
    const QString message = localizedFormat(
        QStringLiteral("IDS_KQ_509"), {sizeText(double(received)), sizeText(double(total))});
    if (m_heading->text() != heading || m_secondaryAction != Action::Cancel)
        present(heading, message, QString(), Action::Close,
            localizedText(QStringLiteral("IDS_KQ_501")), Action::Cancel);
    else
        m_message->setText(message);
    // Per mille: a byte count does not fit the bar's int.
    m_progress->setRange(0, 1000);
    m_progress->setValue(
        total > 0 ? int(qBound(qint64(0), received * 1000 / total, qint64(1000))) : 0);
    m_progress->show();
}

void UpdateWindow::showReady(const AppcastItem& item)
{
    present(localizedFormat(QStringLiteral("IDS_KQ_510"), item.displayVersion()),
        localizedText(QStringLiteral("IDS_KQ_511")), localizedText(QStringLiteral("IDS_KQ_512")),
        Action::Restart, localizedText(QStringLiteral("IDS_KQ_507")), Action::Close);
}

void UpdateWindow::showError(const QString& message)
{
    present(localizedText(QStringLiteral("IDS_KQ_513")), message,
        localizedText(QStringLiteral("IDS_KQ_12")), Action::Close, QString(), Action::Close);
}
