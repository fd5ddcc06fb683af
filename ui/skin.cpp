#include "skin.h"

#include <QApplication>
#include <QFile>
#include <QWidget>

void SetSkinSection(QWidget* Control, const char* Section)
{
    Control->setProperty("skinSection", QString::fromLatin1(Section));
}

void LoadSkin()
{
    QFile Sheet(QStringLiteral(":/skin/skin.qss"));
    if (Sheet.open(QIODevice::ReadOnly))
        qApp->setStyleSheet(QString::fromUtf8(Sheet.readAll()));
}
