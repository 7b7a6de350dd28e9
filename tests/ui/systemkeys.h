#pragma once

#include <QApplication>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <qpa/qwindowsysteminterface.h>

// Plays a script of key events through the window system layer, as the platform delivers them:
// to the window that has the keyboard, where Qt drops events for a window that a modal dialog
// blocks before any filter sees them. The script goes on inside the modal dialogs it opens, one
// step per turn of the event loop.
//
// Tokens, separated by spaces:
//   R Return, E keypad Enter, S Space, X Escape, T Tab, followed by
//     +  the key goes down       -  it comes up
//     ~  a repeat flagged as such (a release and a press)
//     =  a repeat the platform did not flag: a release and a press with one time stamp
//   m:R-   the event goes to the main window even while a dialog blocks it, as a release does
//          when the keyboard has not moved to the dialog yet
//   [save] [box] [none]   wait for the Save As dialog, a message box, or for no modal dialog
//          and the main window active again; other words are the script's own actions
class SystemKeys : public QObject
{
public:
    using Action = std::function<void()>;
    using Ready = std::function<bool()>;

    SystemKeys(QWindow *main, QHash<QString, Action> actions, QHash<QString, Ready> waits)
        : main_(main), actions_(std::move(actions)), waits_(std::move(waits))
    {
    }

    void play(const QString &script)
    {
        for (const QString &token : script.split(u' ', Qt::SkipEmptyParts))
            parse(token);
        later();
    }

    bool done() const { return next_ == steps_.size(); }
    QString failure() const { return failure_; }

private:
    struct Step {
        QString wait, action;
        QEvent::Type type = QEvent::None;
        Qt::Key key = Qt::Key_unknown;
        bool autoRepeat = false;
        bool toMain = false;
        ulong time = 0;
    };

    void parse(QString token)
    {
        if (token.startsWith(u'[')) {
            steps_.append({token.mid(1, token.size() - 2), {}});
            return;
        }
        if (actions_.contains(token)) {
            steps_.append({{}, token});
            return;
        }
        Step key;
        key.toMain = token.startsWith(u"m:");
        if (key.toMain)
            token = token.mid(2);
        static const QHash<QChar, Qt::Key> keys{{u'R', Qt::Key_Return},
                                                {u'E', Qt::Key_Enter},
                                                {u'S', Qt::Key_Space},
                                                {u'X', Qt::Key_Escape},
                                                {u'T', Qt::Key_Tab}};
        key.key = keys.value(token.at(0), Qt::Key_unknown);
        Q_ASSERT(key.key != Qt::Key_unknown && token.size() == 2);
        const QChar how = token.at(1);
        key.time = time_ += 40;
        key.type = how == u'+' ? QEvent::KeyPress : QEvent::KeyRelease;
        key.autoRepeat = how == u'~';
        steps_.append(key);
        if (how == u'~' || how == u'=') {
            key.type = QEvent::KeyPress;
            steps_.append(key);
        }
    }

    // A timer does not fire again while its own handler waits in a dialog: each step has a
    // timer of its own, started before the step runs, so that a dialog it opens plays the rest.
    void later() { QTimer::singleShot(5, this, &SystemKeys::step); }

    void step()
    {
        if (next_ == steps_.size()) {
            sweep(QStringLiteral("a dialog opened after the last key"));
            return;
        }
        const Step current = steps_[next_];
        Q_ASSERT(current.wait.isEmpty() || waits_.contains(current.wait));
        if (!current.wait.isEmpty() && !waits_.value(current.wait)()) {
            if (++waited_ > 600) // 3 s
                fail(QStringLiteral("waited in vain for [%1] at step %2")
                         .arg(current.wait)
                         .arg(next_));
            else
                later();
            return;
        }
        waited_ = 0;
        ++next_;
        later();
        if (!current.action.isEmpty())
            actions_.value(current.action)();
        else if (current.type != QEvent::None)
            send(current);
    }

    void send(const Step &key) const
    {
        QWindow *to = key.toMain ? main_ : QGuiApplication::focusWindow();
        if (!to)
            to = main_;
        const Qt::KeyboardModifiers modifiers =
            key.key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier;
        static const QHash<Qt::Key, QString> texts{{Qt::Key_Return, QStringLiteral("\r")},
                                                   {Qt::Key_Enter, QStringLiteral("\r")},
                                                   {Qt::Key_Space, QStringLiteral(" ")},
                                                   {Qt::Key_Escape, QStringLiteral("\x1b")},
                                                   {Qt::Key_Tab, QStringLiteral("\t")}};
        QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::SynchronousDelivery>(
            to, key.time, key.type, key.key, modifiers, texts.value(key.key), key.autoRepeat);
    }

    // The rest of the script is dropped, and whatever dialog is open is closed so the test
    // cannot hang.
    void fail(const QString &why)
    {
        failure_ = why;
        next_ = steps_.size();
        sweep(why);
    }

    // From the end of the script on, a dialog that opens is closed and is a failure.
    void sweep(const QString &why)
    {
        auto *closer = new QTimer(this);
        connect(closer, &QTimer::timeout, closer, [this, why] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                if (failure_.isEmpty())
                    failure_ = why;
                modal->close();
            }
        });
        closer->start(20);
    }

    QWindow *main_;
    QHash<QString, Action> actions_;
    QHash<QString, Ready> waits_;
    QList<Step> steps_;
    qsizetype next_ = 0;
    int waited_ = 0;
    ulong time_ = 100000;
    QString failure_;
};
