#include "heldkeyguard.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace tavrinel
{

namespace
{

bool isGuardedKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
}

} // namespace

HeldKeyGuard::HeldKeyGuard(QObject *parent) : QObject(parent)
{
    QCoreApplication::instance()->installEventFilter(this);
}

HeldKeyGuard::~HeldKeyGuard()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool HeldKeyGuard::isRepeat(const QKeyEvent &press) const
{
    return press.isAutoRepeat() ||
           (press.key() == releasedKey_ && releasedAt_ != 0 && press.timestamp() == releasedAt_);
}

bool HeldKeyGuard::swallowsPress(QObject *window, const QKeyEvent &press)
{
    if (!isRepeat(press)) {
        key_ = press.key();
        downIn_ = window;
        return false;
    }
    return press.key() != key_ || downIn_ != window;
}

void HeldKeyGuard::noteRelease(const QKeyEvent &release)
{
    releasedKey_ = release.key();
    releasedAt_ = release.timestamp();
}

bool HeldKeyGuard::eventFilter(QObject *watched, QEvent *event)
{
    // Each key event the system sends reaches a window first and is then passed on to widgets,
    // through this filter again: it is judged once, at the window.
    const bool keyEvent = event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease;
    if (!keyEvent || !watched->isWindowType())
        return QObject::eventFilter(watched, event);
    const auto &key = static_cast<const QKeyEvent &>(*event);
    if (!isGuardedKey(key.key()))
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress)
        return swallowsPress(watched, key);
    noteRelease(key);
    return QObject::eventFilter(watched, event);
}

} // namespace tavrinel
