#include "port_holders.h"

#include "serial/platform/port_facts.h"

#include <QStringList>

QList<TPortHolder> PortHolders(const QString& Port) { return ComPlatform::PortHolders(Port); }

QString DescribePortHolders(const QList<TPortHolder>& Holders)
{
    QStringList Parts;
    for (const TPortHolder& Holder : Holders)
        Parts << QStringLiteral("%1 (pid %2)")
                     .arg(Holder.Program.isEmpty() ? QStringLiteral("a program") : Holder.Program)
                     .arg(Holder.Pid);
    return Parts.join(QStringLiteral(", "));
}
