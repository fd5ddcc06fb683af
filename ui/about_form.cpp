#include "about_form.h"

#include "app/application.h"
#include "app/guard.h"
#include "image.h"
#include "main_form.h"

TForm2::TForm2() : TForm(Application ? Application->MainForm() : nullptr, Qt::Tool)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("About"));
    resize(297, 205);
    SetPosition(TPosition::poOwnerFormCenter);

    // The bottom 4 pixels stay the window's own background and take no click.
    Image1 = new TImage(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 297, 201);
    Image1->LoadPicture(QStringLiteral(":/pictures/about.pixels"));
    // What the picture shows, for a screen reader.
    Image1->setAccessibleName(QStringLiteral("SMS Controller v1.0.0"));
    Image1->setAccessibleDescription(QStringLiteral("Made by Morvel Electronic, ") +
                                     QString::fromLatin1(MakerWebAddress) +
                                     QStringLiteral(". Click the picture to close this window."));
    connect(Image1, &TImage::Clicked, this, Guarded(Image1, [this] { Image1Click(Image1); }));
}

void TForm2::Image1Click(QObject*) { hide(); }
