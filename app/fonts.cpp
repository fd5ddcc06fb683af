#include "fonts.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QFontDatabase>

void RegisterFallbackFonts()
{
    if (!QFontDatabase::families().contains(QStringLiteral("Tahoma"))) {
        for (const char* Path : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"})
            if (QFile::exists(QString::fromLatin1(Path)))
                QFontDatabase::addApplicationFont(QString::fromLatin1(Path));
    }
    QFont Font(QStringLiteral("Tahoma"));
    Font.setPixelSize(11);
    QApplication::setFont(Font);
}
