#include "heldkeyguard.h"

#include <QGuiApplication>
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

HeldKeyGuard::HeldKeyGuard(QObject *parent) : QObject(parent)
{
    QCoreApplication::instance()->installEventFilter(this);
    // A key released while another application had the keyboard is never seen as released here.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive)
                    key_ = 0;
            });
}

HeldKeyGuard::~HeldKeyGuard()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

void HeldKeyGuard::hold(const QKeyEvent &press)
{
    key_ = press.key();
    released_ = false;
    releasedAt_ = 0;
}

bool HeldKeyGuard::isRepeat(const QKeyEvent &press) const
{
    if (press.isAutoRepeat() || !released_)
        return true;
    return releasedAt_ != 0 && press.timestamp() == releasedAt_;
}

// Returns whether the press is swallowed.
bool HeldKeyGuard::filterPress(const QKeyEvent &press)
{
    if (press.key() == key_) {
        if (isRepeat(press))
            return true;
        key_ = 0; // pressed anew: it acts again
    }
    if (commandRunning_ && isEnterKey(press.key()) && !press.isAutoRepeat())
        hold(press);
    return false;
}

void HeldKeyGuard::noteRelease(const QKeyEvent &release)
{
    if (release.key() == key_ && !release.isAutoRepeat()) {
        released_ = true;
        releasedAt_ = release.timestamp();
    }
}

bool HeldKeyGuard::eventFilter(QObject *watched, QEvent *event)
{
    // Each key event the system sends reaches a window first and is then passed on to widgets,
    // through this filter again: it is judged once, at the window.
    if (!watched->isWindowType())
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress)
        return filterPress(static_cast<const QKeyEvent &>(*event));
    if (event->type() == QEvent::KeyRelease)
        noteRelease(static_cast<const QKeyEvent &>(*event));
    return QObject::eventFilter(watched, event);
}

} // namespace tavrinel
