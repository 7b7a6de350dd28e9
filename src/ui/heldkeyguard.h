#pragma once

#include <QObject>
#include <QPointer>

class QKeyEvent;

namespace tavrinel
{

// A held Return, Enter or Space acts only in the window where it went down. When a dialog opens
// or closes under a held key, the system goes on sending the key's repeats to whatever window now
// has the keyboard, which takes them for presses of its own: the Save As dialog would save under
// the name it offers, a message box would close before it is read, the article box would fill
// with line breaks. Those repeats are swallowed. A fresh press always acts, wherever it goes down.
//
// A repeat is known by its flag or, where the system lost track of it across windows, by coming
// with the very time stamp of the key's release before it: a repeat is a release and a press at
// once. Nothing here waits for a release to arrive, for a release can go to a window that a modal
// dialog blocks, where the toolkit drops it before any filter sees it.
class HeldKeyGuard final : public QObject
{
public:
    explicit HeldKeyGuard(QObject *parent = nullptr);
    ~HeldKeyGuard() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isRepeat(const QKeyEvent &press) const;
    bool swallowsPress(QObject *window, const QKeyEvent &press);
    void noteRelease(const QKeyEvent &release);

    int key_ = 0;              // the guarded key that went down last
    QPointer<QObject> downIn_; // the window it went down in
    int releasedKey_ = 0;      // the guarded key released last, and when
    quint64 releasedAt_ = 0;
};

} // namespace tavrinel
