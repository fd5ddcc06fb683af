// The notice box: caption Title, one text, no icon, one default OK button. Modal, but messages
// keep being dispatched meanwhile, so queued calls run while it is up.
#pragma once

#include "core/box_texts.h"

void ShowNotice(const QString& Text);

class QMessageBox;
// Ctrl+C copies the box's text (or the part selected with the mouse), as technicians paste
// errors into support chats.
void LetTextBeCopied(QMessageBox& Box);
