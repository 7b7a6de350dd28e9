// Shows the window with a sample article and its counts and saves what the screen shows of it.
// scripts/screenshot.sh runs it under Xvfb.
#include "ui/language.h"
#include "ui/mainwindow.h"
#include "ui/qtprompt.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTextEdit>
#include <QTranslator>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        qCritical("usage: tavrinel-screenshot OUTPUT.png");
        return 2;
    }
    QTranslator translator;
    tavrinel::useChineseLanguage(app, translator);
    tavrinel::QtPrompt prompt;
    tavrinel::MainWindow window(prompt);
    window.move(0, 0);
    window.show();
    window.activateWindow(); // there is no window manager to do it
    if (!QTest::qWaitForWindowActive(&window))
        return 1;

    auto *article = window.findChild<QTextEdit *>(u"IArticle"_s);
    article->setPlainText(
        u"Tavrinel 把一篇文章切成网页段落. 粘贴文章, 选择分段形式和数量标准, 然后点击\"生成\". "
        "每一段都包在 <p> 和 </p> 之中, 结果保存到你选择的文件里!\n"
        "Paste an article here. Pick how to cut it: by characters or by sentences. "
        "Then click the button; the paragraphs land in a text file.\n"
        "中文的句号。和全角标点！不算断句；只有半角的 . ? ! ; 才算。"_s);
    QTest::keyClick(article, Qt::Key_Tab); // leaving the box fills in the counts
    QTest::qWait(300);
    article->setFocus();
    QTest::qWait(300);

    // From the screen, so that a frame the system draws itself (Wine without a window manager)
    // is in the picture too.
    const QRect frame = window.frameGeometry();
    const QPixmap shot =
        window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    return shot.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
