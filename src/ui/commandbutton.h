#pragma once

#include <QPushButton>

namespace tavrinel
{

// A command button of the window. Return and keypad Enter click it when the key comes up, as
// Space does, so a command that opens a dialog starts with the key already up: its release can
// no longer go astray into a window the dialog blocks, and holding the key runs the command once.
// The key's repeats do nothing; the focus leaving the button before the key comes up cancels the
// press, as it does for Space.
class CommandButton final : public QPushButton
{
    Q_OBJECT

public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void cancelPress();

    int enterKey_ = 0; // the Enter key that went down on the button, until it comes up
};

} // namespace tavrinel
