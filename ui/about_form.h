// The about window: one picture with the application's name, version and maker.
#pragma once

#include "app/form.h"

class TImage;

class TForm2 : public TForm
{
    Q_OBJECT

public:
    TForm2();

    void Image1Click(QObject* Sender);

private:
    TImage* Image1 = nullptr;
};
