#pragma once

#include <QString>
#include <functional>

class QFileDialog;

// Every dialog the program shows goes through one of these functions, so that
// tests can replace the real Qt dialogs with hooks.

// A message to the user: caption "Message", the text, one OK button, no icon,
// no owner window, application-modal. Returns when the user presses OK.
void ShowMessage(const QString& text);

// The error box for exceptions that escape a command: error icon, one OK
// button, the application's title as caption. The text is shown as given.
void ShowErrorBox(const QString& text);

// A question to the user with the buttons "Да" and "Нет": caption "Message",
// no icon, no owner window, application-modal. Returns true for "Да"; "Нет"
// and closing the box give false.
bool AskQuestion(const QString& text);

// Asks the user for one number: a box captioned `caption` with `label`
// above an edit box that starts with `text`, and the buttons "OK" and
// "Отмена"; no owner window, application-modal. Returns true for "OK" with
// the text as typed in `text`; "Отмена" and closing the box give false.
bool AskNumberText(const QString& caption, const QString& label, QString& text);
// A question with the buttons "Да", "Нет" and "Отмена": caption "Message", no
// icon, no owner window, application-modal. Escape and closing the box give
// "Отмена".
enum class Answer {
    Yes,
    No,
    Cancel
};
Answer AskYesNoCancel(const QString& text);

// Runs a file dialog. Returns true and sets fileName when the user chose a file.
bool ExecuteFileDialog(QFileDialog* dialog, QString& fileName);

// Test hooks. An empty function restores the real dialog.
using MessageHook = std::function<void(const QString& text)>;
using QuestionHook = std::function<bool(const QString& text)>;
using YesNoCancelHook = std::function<Answer(const QString& text)>;
using FileDialogHook = std::function<bool(QFileDialog* dialog, QString& fileName)>;
using NumberHook = std::function<bool(const QString& caption, const QString& label, QString& text)>;
void SetMessageHook(MessageHook hook);
void SetErrorBoxHook(MessageHook hook);
void SetFileDialogHook(FileDialogHook hook);
void SetQuestionHook(QuestionHook hook);
void SetNumberHook(NumberHook hook);
void SetYesNoCancelHook(YesNoCancelHook hook);

// The text of the error box for an exception message: a full stop is appended
// when the last character comes after '.' in character code order.
QString ErrorBoxText(const QString& message);

// Shows an exception that escaped a command in the error box.
void ShowException(const std::exception& e);
void ShowUnknownException();

// Runs one event handler; an exception that escapes it is shown in the error
// box. Returns false when the handler ended with an exception.
bool RunHandler(const std::function<void()>& handler);

// Runs one handler that a widget calls while it is still delivering one of
// its events (a key, a click, a move of the current cell). An exception that
// escapes it ends the handler as under RunHandler, but the error box opens
// only after the event has returned to the event loop: no modal loop runs
// while the widget is still inside its own event code, where the box's loop
// could close or free it. The widget learns of the failure at once (false)
// and decides what it means for the event, such as refusing a cell move.
bool RunEventHandler(const std::function<void()>& handler);

// Shows the error box once control is back in the event loop; boxes queued
// one after another open in that order.
void ShowErrorBoxLater(const QString& text);
