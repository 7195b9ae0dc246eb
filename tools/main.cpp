#include "ShredCommand.h"
#include "ZPHShred.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("corvane-shred"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    ShredCommand command(sharedShredEngine(), stdout, stderr);
    return command.run(QCoreApplication::arguments());
}
