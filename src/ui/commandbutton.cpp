#include "commandbutton.h"

#include <QKeyEvent>

namespace tavrinel
{

namespace
{

bool isEnterKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

void CommandButton::keyPressEvent(QKeyEvent *event)
{
    if (!isEnterKey(event->key())) {
        QPushButton::keyPressEvent(event);
        return;
    }
    if (!event->isAutoRepeat() && enterKey_ == 0) {
        enterKey_ = event->key();
        setDown(true);
    }
    event->accept();
}

void CommandButton::keyReleaseEvent(QKeyEvent *event)
{
    if (!isEnterKey(event->key()) || enterKey_ == 0) {
        QPushButton::keyReleaseEvent(event);
        return;
    }
    event->accept();
    if (event->isAutoRepeat() || event->key() != enterKey_)
        return;
    cancelPress();
    click();
}

void CommandButton::focusOutEvent(QFocusEvent *event)
{
    cancelPress();
    QPushButton::focusOutEvent(event);
}

void CommandButton::cancelPress()
{
    if (enterKey_ == 0)
        return;
    enterKey_ = 0;
    setDown(false);
}

} // namespace tavrinel
