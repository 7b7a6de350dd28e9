#pragma once

#include <QList>
#include <QWidget>
#include <optional>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QUrl;

namespace tavrinel
{

class ArticleBox;
class Prompt;

// The tool's only window: the article box with its counts, the paragraph settings and the two
// commands. Each control is a member of the same name and carries that name as its object name;
// the option buttons of a group are OptType0/OptType1 and OptAllow0/OptAllow1.
class MainWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit MainWindow(Prompt &prompt, QWidget *parent = nullptr);
    ~MainWindow() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    enum class Check { ArticleStatistics, Size };

    void buildForm();
    void setUpFocusChain();
    void wireEvents();
    QList<QWidget *> watchedControls() const;

    void queueCheck(Check check);
    bool runPendingCheck();
    bool checkStopsClick();
    bool showArticleStatistics();
    bool checkSize();
    void warnAndReturnFocus(const QString &text, QWidget *box);
    void returnFocusTo(QWidget *box);

    static std::optional<QString> refusedDrop(const QList<QUrl> &urls);
    void loadDroppedFile(const QString &path);
    void replaceArticle(const QString &text);
    void warnAboutFile(const QString &text);

    void clearArticle();
    void switchSplitMode(int index);
    void generate();
    void saveParagraphs(QStringView paragraphs);

    Prompt &prompt_;
    std::optional<Check> pendingCheck_;
    bool checkMessageOpen_ = false;

    QLabel *Linput = nullptr;
    ArticleBox *IArticle = nullptr;
    QLabel *Lname = nullptr;
    QLabel *LCNum = nullptr;
    QLabel *LClause = nullptr;
    QLabel *LLNum = nullptr;
    QPushButton *BtnDo = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *IByNum = nullptr;
    QGroupBox *RG1 = nullptr;
    QGroupBox *RG2 = nullptr;
    QRadioButton *OptType[2] = {};
    QRadioButton *OptAllow[2] = {};
    QPushButton *btnCls = nullptr;
    QButtonGroup *typeGroup_ = nullptr;
    QButtonGroup *allowGroup_ = nullptr;
};

} // namespace tavrinel
