// The contents of the four configuration pages: each page's picture and its fields, with their
// positions, look, defaults and tab order.
#pragma once

class QWidget;

enum class TPageContent { Output, Input, TellNumber, Config };

// Creates the picture, then every field of that page, on Page (702 x 532).
void CreatePageContent(QWidget* Page, TPageContent Content);
