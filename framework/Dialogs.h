// Modal message boxes.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

// Shows the message with an OK button; returns once it is dismissed.
void MsgBox(const QString& message);

// Shows a question. `flags` are the classic message-box flags: buttons
// (0 OK, 1 OK and Cancel), icon (16 stop, 32 question, 48 caution, 64 note)
// and default button (0 first, 256 second). Returns the button pressed:
// 1 OK, 2 Cancel.
int32_t MsgBox(const QString& prompt, int32_t flags, const QString& title);

// Button numbers.
enum : int32_t { kMsgBoxOK = 1, kMsgBoxCancel = 2 };

// A button of a MessageDialog.
class MessageDialogButton {
public:
    MessageDialogButton(const QString& caption, bool visible) : caption_(caption), visible_(visible) {}
    const QString& Caption() const { return caption_; }
    void SetCaption(const QString& caption) { caption_ = caption; }
    bool Visible() const { return visible_; }
    void SetVisible(bool on) { visible_ = on; }

private:
    QString caption_;
    bool visible_;
};

// A modal dialog with a title, a message, an explanation below it, an icon
// and up to three buttons. Message and explanation are shown as plain text,
// whatever they hold: text from outside the program is never taken as
// markup, links or images. Both are shown whole: a text too long for the
// box to fit its screen scrolls in a read-only area, the buttons in reach.
class MessageDialog {
public:
    // Icons.
    enum : int32_t { kIconNone = -1, kIconNote = 0, kIconCaution = 1, kIconStop = 2, kIconQuestion = 3 };

    MessageDialog();

    const QString& Title() const { return title_; }
    void SetTitle(const QString& title) { title_ = title; }
    const QString& Message() const { return message_; }
    void SetMessage(const QString& message) { message_ = message; }
    const QString& Explanation() const { return explanation_; }
    void SetExplanation(const QString& explanation) { explanation_ = explanation; }
    int32_t Icon() const { return icon_; }
    void SetIcon(int32_t icon) { icon_ = icon; }

    // The action button ("OK", shown, the default button), the cancel button
    // ("Cancel", hidden; Escape and the close box press it when shown) and
    // the alternate action button (no caption, hidden).
    const std::shared_ptr<MessageDialogButton>& ActionButton() const { return action_; }
    const std::shared_ptr<MessageDialogButton>& CancelButton() const { return cancel_; }
    const std::shared_ptr<MessageDialogButton>& AlternateActionButton() const { return alternate_; }

    // Shows the dialog application-modal, waits, and returns the button
    // pressed; null when the dialog ended without one (the program quit).
    std::shared_ptr<MessageDialogButton> ShowModal();

private:
    QString title_, message_, explanation_;
    int32_t icon_ = kIconNote;
    std::shared_ptr<MessageDialogButton> action_, cancel_, alternate_;
};

// The object names of a MessageDialog's parts, for reading it as shown: the
// dialog, its icon, and for the message and the explanation each a label
// (a text that fits) and a read-only scrolling area (one that does not), of
// which at most one is shown.
inline constexpr char kMessageDialogName[] = "MessageDialog";
inline constexpr char kMessageIconName[] = "MessageDialogIcon";
inline constexpr char kMessageLabelName[] = "MessageDialogMessage";
inline constexpr char kExplanationLabelName[] = "MessageDialogExplanation";
inline constexpr char kMessageAreaName[] = "MessageDialogMessageArea";
inline constexpr char kExplanationAreaName[] = "MessageDialogExplanationArea";

// Sounds the system beep.
void Beep();
// How many beeps this run has sounded; the offscreen platform makes no sound.
int32_t BeepCount();
