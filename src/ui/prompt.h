#pragma once

#include <QString>

class QWidget;

namespace tavrinel
{

// What the Save As dialog shows.
struct SaveFileRequest {
    QString title;
    QString offeredName;
    QString filter; // one name filter, e.g. "文本文档(*.txt)"
};

enum class MessageIcon { None, Information, Warning };

// A modal message box with an OK button only.
struct Message {
    QString text;
    QString caption;
    MessageIcon icon = MessageIcon::None;
};

// The window's dialogs and message boxes. The window gets one through its constructor, so tests
// can answer for the user.
class Prompt
{
public:
    virtual ~Prompt() = default;

    // The file name picked in a modal Save As dialog; an empty string when the user cancelled.
    virtual QString askSaveFileName(QWidget *parent, const SaveFileRequest &request) = 0;

    // Returns once the user has closed the box.
    virtual void showMessage(QWidget *parent, const Message &message) = 0;
};

} // namespace tavrinel
