// SPDX-License-Identifier: GPL-3.0-or-later
#include "Alert.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// Wide enough for a two-line message without the alert growing across the window.
constexpr int textWidth = 340;
constexpr int iconSide = 48;

} // namespace

Alert::Alert(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("alert"));
    setWindowTitle(QGuiApplication::applicationDisplayName());
    setSizeGripEnabled(false);

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("alertIcon"));
    m_icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    m_icon->setFixedWidth(iconSide);

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("alertMessage"));
    m_message->setWordWrap(true);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setMinimumWidth(textWidth);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = m_message->font();
    bold.setWeight(QFont::Bold);
    m_message->setFont(bold);

    m_informative = new QLabel(this);
    m_informative->setObjectName(QStringLiteral("alertInformative"));
    m_informative->setWordWrap(true);
    m_informative->setTextFormat(Qt::PlainText);
    m_informative->setMinimumWidth(textWidth);
    m_informative->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_informative->hide();

    auto* texts = new QVBoxLayout;
    texts->setSpacing(8);
    texts->addWidget(m_message);
    texts->addWidget(m_informative);
    m_accessoryLayout = new QVBoxLayout;
    m_accessoryLayout->setContentsMargins(0, 4, 0, 0);
    texts->addLayout(m_accessoryLayout);
    texts->addStretch(1);

    auto* top = new QHBoxLayout;
    top->setSpacing(16);
    top->addWidget(m_icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);

    m_buttonRow = new QHBoxLayout;
    m_buttonRow->setSpacing(8);
    m_buttonRow->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(18);
    layout->addLayout(top);
    layout->addLayout(m_buttonRow);
    // The alert takes the size of its content; word-wrapped texts make it taller, not wider.
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

Alert::~Alert()
{
    releaseAccessoryView();
}

QString Alert::messageText() const
{
    return m_message->text();
}

void Alert::setMessageText(const QString& text)
{
    m_message->setText(text);
    setAccessibleName(text);
}

QString Alert::informativeText() const
{
    return m_informative->text();
}

void Alert::setInformativeText(const QString& text)
{
    m_informative->setText(text);
    m_informative->setVisible(!text.isEmpty());
    setAccessibleDescription(text);
}

QPushButton* Alert::addButtonWithTitle(const QString& title)
{
    auto* button = new QPushButton(title, this);
    button->setObjectName(QStringLiteral("alertButton%1").arg(m_buttons.size()));
    button->setMinimumWidth(88);
    // Only the default button answers Return; a focused button still answers Space.
    button->setAutoDefault(false);
    // Right after the stretch: each new button lands to the left of the earlier ones.
    m_buttonRow->insertWidget(1, button);
    m_buttons.append(button);
    if (m_buttons.size() == 1)
        setDefaultButton(button);
    return button;
}

QList<QPushButton*> Alert::buttons() const
{
    return m_buttons;
}

void Alert::setDefaultButton(QPushButton* button)
{
    for (QPushButton* each : std::as_const(m_buttons))
        each->setDefault(each == button);
}

QPushButton* Alert::defaultButton() const
{
    for (QPushButton* each : m_buttons) {
        if (each->isDefault())
            return each;
    }
    return nullptr;
}

void Alert::setEscapeButton(QPushButton* button)
{
    m_escapeButton = button;
}

QPushButton* Alert::escapeButton() const
{
    return m_escapeButton;
}

void Alert::setAccessoryView(QWidget* view)
{
    if (view == m_accessory)
        return;
    releaseAccessoryView();
    m_accessory = view;
    if (!view)
        return;
    if (auto* previous = qobject_cast<Alert*>(view->parentWidget());
        previous && previous->m_accessory == view) {
        // Taken over from an earlier alert: it goes back to its real owner, not to that alert.
        m_accessoryHome = previous->m_accessoryHome;
        previous->m_accessory = nullptr;
    } else {
        m_accessoryHome = view->parentWidget();
    }
    m_accessoryLayout->addWidget(view);
    view->show();
}

QWidget* Alert::accessoryView() const
{
    return m_accessory;
}

void Alert::releaseAccessoryView()
{
    QWidget* view = m_accessory;
    m_accessory = nullptr;
    // A later alert may have taken the view over already; then it is not ours to move.
    if (!view || view->parentWidget() != this)
        return;
    m_accessoryLayout->removeWidget(view);
    view->hide();
    if (m_accessoryHome)
        view->setParent(m_accessoryHome);
}

void Alert::beginSheetModal(QWidget* window)
{
    if (window && parentWidget() != window)
        setParent(window, windowFlags());
    const qreal ratio = window ? window->devicePixelRatioF() : devicePixelRatioF();
    m_icon->setPixmap(style()
                          ->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this)
                          .pixmap(QSize(iconSide, iconSide), ratio));
    // open() makes the dialog window-modal; QDialog centres it over its parent when shown.
    if (window)
        window->installEventFilter(this);
    open();
    if (m_accessory)
        m_accessory->setFocus(Qt::OtherFocusReason);
    else if (QPushButton* button = defaultButton())
        button->setFocus(Qt::OtherFocusReason);
}

bool Alert::eventFilter(QObject* watched, QEvent* event)
{
    // A sheet goes with its window. The window manager may also place the window only after an
    // alert opened at start-up, which left the alert where the window had not yet been.
    if (watched == parentWidget() && isVisible()
        && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        move(pos() + parentWidget()->geometry().center() - geometry().center());
    return QDialog::eventFilter(watched, event);
}

void Alert::endSheet()
{
    done(QDialog::Rejected);
}

void Alert::reject()
{
    if (m_escapeButton && m_escapeButton->isEnabled())
        m_escapeButton->click();
}
