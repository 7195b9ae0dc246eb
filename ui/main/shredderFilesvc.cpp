#include "shredderFilesvc.h"

#include <QLabel>
#include <QVBoxLayout>

shredderFilesvc::shredderFilesvc(QWidget* parent)
    : BaseViewController(parent)
{
}

void shredderFilesvc::loadView()
{
    // The list view and its actions take this place once they exist.
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("lbltitle"));
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
}
