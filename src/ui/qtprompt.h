#pragma once

#include "prompt.h"

namespace tavrinel
{

// The prompt the user sees: QFileDialog and QMessageBox.
class QtPrompt final : public Prompt
{
public:
    enum class Dialogs { Native, QtWidgets };

    // Native dialogs where the platform has them; tests ask for Qt's own widget dialog, which
    // they can find and answer.
    explicit QtPrompt(Dialogs dialogs = Dialogs::Native) : dialogs_(dialogs) {}

    QString askSaveFileName(QWidget *parent, const SaveFileRequest &request) override;
    void showMessage(QWidget *parent, const Message &message) override;

private:
    Dialogs dialogs_;
};

} // namespace tavrinel
