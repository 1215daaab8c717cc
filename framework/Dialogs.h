// Modal message boxes.
#pragma once

#include <QString>
#include <cstdint>

// Shows the message with an OK button; returns once it is dismissed.
void MsgBox(const QString& message);

// Shows a question. `flags` are the classic message-box flags: buttons
// (0 OK, 1 OK and Cancel), icon (16 stop, 32 question, 48 caution, 64 note)
// and default button (0 first, 256 second). Returns the button pressed:
// 1 OK, 2 Cancel.
int32_t MsgBox(const QString& prompt, int32_t flags, const QString& title);

// Button numbers.
enum : int32_t { kMsgBoxOK = 1, kMsgBoxCancel = 2 };
