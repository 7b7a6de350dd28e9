#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

// Waits in the event loop for a modal widget of the given kind and hands it to `answer`, which
// must close it. A modal that does not show up within the deadline is given up; one of another
// kind is closed so the test cannot hang. Returns a flag that tells whether the answer ran.
// Answers typed with keys wait until the modal is the active window as well, as the user does.
enum class ModalWait { Shown, Active };

template<class Modal>
std::shared_ptr<bool> answerModal(std::function<void(Modal *)> answer, int deadlineMs = 10000,
                                  ModalWait wait = ModalWait::Shown)
{
    auto answered = std::make_shared<bool>(false);
    auto *timer = new QTimer(qApp);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        auto *wanted = qobject_cast<Modal *>(modal);
        const bool late = clock->hasExpired(deadlineMs);
        const bool ready =
            wanted && wanted->isVisible() && (wait == ModalWait::Shown || wanted->isActiveWindow());
        if (!ready && !late)
            return;
        timer->stop();
        timer->deleteLater();
        if (wanted && wanted->isVisible()) {
            *answered = true;
            answer(wanted);
        } else if (modal) {
            modal->close();
        }
    });
    timer->start();
    return answered;
}
