// The notice box: caption Title, one text, no icon, one default OK button. Modal, but messages
// keep being dispatched meanwhile, so queued calls run while it is up.
#pragma once

#include "box_texts.h"

void ShowNotice(const QString& Text);
