// The notice box: caption Title, one text, no icon, one default OK button. Modal, but messages
// keep being dispatched meanwhile, so queued calls run while it is up.
#pragma once

#include <QString>

void ShowNotice(const QString& Text);

// Line breaks of any kind (\n, \r, \r\n, \n\r) become single breaks.
QString NoticeBoxText(const QString& Text);
