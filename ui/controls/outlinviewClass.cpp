#include "outlinviewClass.h"

outlinviewClass::outlinviewClass(QWidget* parent)
    : QTreeView(parent)
{
    // Expanding from the branch indicator or the keyboard is immediate too.
    setAnimated(false);
}

void outlinviewClass::expandItem(const QModelIndex& index, bool expandChildren)
{
    const bool wasAnimated = isAnimated();
    setAnimated(false);
    if (expandChildren)
        expandRecursively(index);
    else
        expand(index);
    setAnimated(wasAnimated);
}
