#include "pages.h"

void CreatePageContent(QWidget*, TPageContent) {}
