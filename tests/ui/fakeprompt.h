#pragma once

#include "ui/prompt.h"

#include <QApplication>
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <functional>

// Answers for the user. A message opens a real modal dialog for a moment, so the window loses
// and regains activation as it does with a message box.
class FakePrompt final : public tavrinel::Prompt
{
public:
    QList<tavrinel::SaveFileRequest> saveRequests;
    QStringList fileNames; // answers to the Save As dialogs, in order; empty = cancel
    QList<tavrinel::Message> messages;
    QList<QWidget *> focusWhileOpen; // the focused widget while each message was open
    std::function<void()> whileMessageOpen;

    QString askSaveFileName(QWidget *, const tavrinel::SaveFileRequest &request) override
    {
        saveRequests.append(request);
        return fileNames.isEmpty() ? QString() : fileNames.takeFirst();
    }

    void showMessage(QWidget *parent, const tavrinel::Message &message) override
    {
        messages.append(message);
        QDialog box(parent);
        box.setObjectName(QStringLiteral("fakeMessageBox"));
        QTimer::singleShot(20, &box, [this, &box] {
            focusWhileOpen.append(QApplication::focusWidget());
            if (whileMessageOpen)
                whileMessageOpen();
            box.accept();
        });
        box.exec();
    }
};
