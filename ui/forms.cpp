#include "forms.h"

TForm4* Form4 = nullptr;
TForm1* Form1 = nullptr;
TForm2* Form2 = nullptr;
