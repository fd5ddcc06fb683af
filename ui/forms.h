// The three windows of the program, one instance each for the whole run.
#pragma once

class TForm1;
class TForm2;
class TForm4;

extern TForm4* Form4; // main window
extern TForm1* Form1; // port selection dialog
extern TForm2* Form2; // about window
