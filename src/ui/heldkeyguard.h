#pragma once

#include <QObject>

class QKeyEvent;

namespace tavrinel
{

// Makes one press of Return or Enter act once, however long the key is held. Once a press has
// started a command, and for every press while a command runs, the key's repeats are swallowed
// everywhere in the application until it is released: in the Save As dialog and the message
// boxes the command opens as well as back in the window once they have closed.
//
// The repeat flag of a key event cannot be trusted alone: when the window under the key changes
// (a dialog opens or closes), the system can hand a repeat over as a fresh press. So the key
// counts as held until it is released for real, and a press that comes with the very time stamp
// of the release before it is the same repeat seen as a release and a press.
class HeldKeyGuard final : public QObject
{
public:
    explicit HeldKeyGuard(QObject *parent = nullptr);
    ~HeldKeyGuard() override;

    // The key went down and started a command.
    void hold(const QKeyEvent &press);
    // While a command runs, every fresh press of Return or Enter is held as well.
    void setCommandRunning(bool running) { commandRunning_ = running; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isRepeat(const QKeyEvent &press) const;
    bool filterPress(const QKeyEvent &press);
    void noteRelease(const QKeyEvent &release);

    int key_ = 0; // none held
    bool released_ = false;
    quint64 releasedAt_ = 0;
    bool commandRunning_ = false;
};

} // namespace tavrinel
