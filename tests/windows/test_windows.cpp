// The window as Windows shows it, run under Wine: the real windows platform, the programs'
// resources, Chinese text on screen and a whole Generate through the native Save As dialog.
#include "testfiles.h"
#include "ui/mainwindow.h"
#include "ui/qtprompt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <functional>
#include <windows.h>

using namespace Qt::StringLiterals;

namespace
{

const QString windowProgram = QStringLiteral(TAVRINEL_WINDOW_PATH);
const QString cliProgram = QStringLiteral(TAVRINEL_CLI_PATH);

std::wstring wide(const QString &text)
{
    return text.toStdWString();
}

QString windowText(HWND window)
{
    wchar_t text[512] = {};
    GetWindowTextW(window, text, static_cast<int>(std::size(text)));
    return QString::fromWCharArray(text);
}

QString className(HWND window)
{
    wchar_t name[128] = {};
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return QString::fromWCharArray(name);
}

// The visible top-level window of this process with the given caption.
HWND findOwnWindow(const QString &caption)
{
    struct Search {
        QString caption;
        HWND found = nullptr;
    } search{caption};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto &s = *reinterpret_cast<Search *>(data);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process != GetCurrentProcessId() || !IsWindowVisible(window) ||
                windowText(window) != s.caption)
                return TRUE;
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The edit control anywhere inside a window that holds the given text.
HWND findEditHolding(HWND parent, const QString &text)
{
    struct Search {
        QString text;
        HWND found = nullptr;
    } search{text};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM data) -> BOOL {
            auto &s = *reinterpret_cast<Search *>(data);
            if (className(child).compare(u"Edit"_s, Qt::CaseInsensitive) != 0 ||
                windowText(child) != s.text)
                return TRUE;
            s.found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The PE header's subsystem: 2 for a window program, 3 for a console program.
int subsystemOf(const QString &path)
{
    const QByteArray image = testfiles::fileBytes(path);
    if (image.size() < 0x40)
        return -1;
    const auto at = [&](qsizetype offset, int bytes) {
        quint32 value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = (value << 8) | static_cast<quint8>(image.at(offset + i));
        return value;
    };
    const qsizetype header = at(0x3C, 4);
    if (header + 0x18 + 0x46 > image.size() || at(header, 4) != 0x4550) // "PE\0\0"
        return -1;
    return static_cast<int>(at(header + 0x18 + 0x44, 2)); // Subsystem in the optional header
}

// The sizes of the images of the program's first icon; empty when it has none.
QList<int> iconSizesOf(const QString &path)
{
    QList<int> sizes;
    HMODULE module = LoadLibraryExW(wide(QDir::toNativeSeparators(path)).c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module)
        return sizes;
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), RT_GROUP_ICON);
    if (const BYTE *group =
            found ? static_cast<const BYTE *>(LockResource(LoadResource(module, found)))
                  : nullptr) {
        // GRPICONDIR: reserved, type, count; then 14-byte entries starting with width.
        const int count = group[4] | group[5] << 8;
        for (int i = 0; i < count; ++i) {
            const int width = group[6 + i * 14];
            sizes.append(width == 0 ? 256 : width);
        }
    }
    FreeLibrary(module);
    std::sort(sizes.begin(), sizes.end());
    return sizes;
}

struct VersionInfo {
    QString translation; // language and code page, e.g. "080404b0"
    QString fileVersion;
    QString productVersion;
    quint32 fixedFileVersionHigh = 0;
};

VersionInfo versionInfoOf(const QString &path)
{
    VersionInfo info;
    const std::wstring file = wide(QDir::toNativeSeparators(path));
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), nullptr);
    QByteArray data(static_cast<qsizetype>(size), '\0');
    if (size == 0 || !GetFileVersionInfoW(file.c_str(), 0, size, data.data()))
        return info;
    void *value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(data.data(), L"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO))
        info.fixedFileVersionHigh = static_cast<VS_FIXEDFILEINFO *>(value)->dwFileVersionMS;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length) || length < 4)
        return info;
    const auto *pair = static_cast<const WORD *>(value);
    info.translation =
        u"%1%2"_s.arg(uint{pair[0]}, 4, 16, QChar(u'0')).arg(uint{pair[1]}, 4, 16, QChar(u'0'));
    const auto text = [&](const QString &name) {
        const std::wstring key = wide(u"\\StringFileInfo\\%1\\%2"_s.arg(info.translation, name));
        return VerQueryValueW(data.data(), key.c_str(), &value, &length) && length > 0
                   ? QString::fromWCharArray(static_cast<const wchar_t *>(value))
                   : QString();
    };
    info.fileVersion = text(u"FileVersion"_s);
    info.productVersion = text(u"ProductVersion"_s);
    return info;
}

// What the control shows, and a way to change it.
QString captionOf(QWidget *control)
{
    if (auto *label = qobject_cast<QLabel *>(control))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(control))
        return button->text();
    return qobject_cast<QGroupBox *>(control)->title();
}

void setCaption(QWidget *control, const QString &text)
{
    if (auto *label = qobject_cast<QLabel *>(control))
        label->setText(text);
    else if (auto *button = qobject_cast<QAbstractButton *>(control))
        button->setText(text);
    else
        qobject_cast<QGroupBox *>(control)->setTitle(text);
}

// The path as Windows programs take it, with its drive.
std::wstring nativePath(const QString &path)
{
    return wide(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
}

// A console shows a double-width character in two cells and may hand it back twice.
QString withoutDoubledWideCharacters(const QString &text)
{
    QString result;
    for (const QChar c : text) {
        if (c.unicode() < 0x3000 || result.isEmpty() || result.back() != c)
            result += c;
    }
    return result;
}

QString reversed(const QString &text)
{
    QString result = text;
    std::reverse(result.begin(), result.end());
    return result;
}

} // namespace

class TestWindows : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void platform();
    void caption();
    void programResources_data();
    void programResources();
    void chineseRenders_data();
    void chineseRenders();
    void sizeBoxShowsItsText();
    void countsInSimSun();
    void generateThroughNativeSaveAs();
    void cliMessageInConsole();

private:
    void showWindow();
    // Calls answer every 50 ms, while the event loop or a native dialog runs, until it returns
    // true; gives up after 30 s.
    std::shared_ptr<bool> keepAnswering(std::function<bool()> answer);

    tavrinel::QtPrompt prompt_; // native dialogs, as the program has them
    std::unique_ptr<tavrinel::MainWindow> window_;
};

void TestWindows::init()
{
    showWindow();
}

void TestWindows::cleanup()
{
    window_.reset();
    QCOMPARE(QApplication::topLevelWidgets().size(), 0);
}

void TestWindows::showWindow()
{
    window_ = std::make_unique<tavrinel::MainWindow>(prompt_);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

std::shared_ptr<bool> TestWindows::keepAnswering(std::function<bool()> answer)
{
    auto done = std::make_shared<bool>(false);
    auto *timer = new QTimer(window_.get());
    QElapsedTimer clock;
    clock.start();
    connect(timer, &QTimer::timeout, timer, [=] {
        if (clock.hasExpired(30000) || (*done = answer()))
            timer->stop();
    });
    timer->start(50);
    return done;
}

void TestWindows::platform()
{
    QCOMPARE(QGuiApplication::platformName(), u"windows"_s);
}

void TestWindows::caption()
{
    const auto window = reinterpret_cast<HWND>(window_->winId());
    QCOMPARE(windowText(window), u"Zentrel"_s);
}

void TestWindows::programResources_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<int>("subsystem");
    QTest::addColumn<QList<int>>("iconSizes");
    QTest::newRow("window") << windowProgram << 2 << QList<int>{16, 32};
    QTest::newRow("command line") << cliProgram << 3 << QList<int>{};
}

// Version 1.00 in Chinese (PRC), the window without a console and with its icon.
void TestWindows::programResources()
{
    QFETCH(QString, program);
    QFETCH(int, subsystem);
    QFETCH(QList<int>, iconSizes);
    QCOMPARE(subsystemOf(program), subsystem);
    QCOMPARE(iconSizesOf(program), iconSizes);
    const VersionInfo info = versionInfoOf(program);
    QCOMPARE(info.translation, u"080404b0"_s);
    QCOMPARE(info.fileVersion, u"1.00"_s);
    QCOMPARE(info.productVersion, u"1.00"_s);
    QCOMPARE(info.fixedFileVersionHigh, 0x00010000u);
}

void TestWindows::chineseRenders_data()
{
    QTest::addColumn<QString>("control");
    for (const char *name : {"Linput", "Lname", "BtnDo", "RG1", "OptType0", "OptAllow1"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// Missing glyphs all look the same, so a caption and its reverse look alike only when the font
// has none of its characters.
void TestWindows::chineseRenders()
{
    QFETCH(QString, control);
    auto *widget = window_->findChild<QWidget *>(control);
    QVERIFY(widget);
    const QString text = captionOf(widget);
    QVERIFY(!QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty());
    const QImage shown = widget->grab().toImage();
    setCaption(widget, reversed(text));
    const QImage mirrored = widget->grab().toImage();
    QVERIFY2(shown != mirrored, qPrintable(u"no glyphs for "_s + text));
}

// The size box is only 18 pixels high, and its text must still show.
void TestWindows::sizeBoxShowsItsText()
{
    auto *size = window_->findChild<QLineEdit *>(u"IByNum"_s);
    const QImage shown = size->grab().toImage();
    size->clear();
    QVERIFY(shown != size->grab().toImage());
}

void TestWindows::countsInSimSun()
{
    if (!QFontDatabase::hasFamily(u"SimSun"_s))
        QSKIP("this system has no SimSun (Wine has none): the counts use another CJK font");
    const QFontInfo shown(window_->findChild<QLabel *>(u"LCNum"_s)->font());
    QVERIFY2(shown.family() == u"SimSun"_s || shown.family() == u"宋体"_s,
             qPrintable(shown.family()));
    QVERIFY(shown.bold());
}

// 生成 asks with Windows' own Save As dialog (no Qt file dialog), offering 文章分割后内容.txt; the
// name typed there, in a folder with Chinese characters and a space, gets the paragraphs.
void TestWindows::generateThroughNativeSaveAs()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath(u"保存 结果"_s);
    QVERIFY(QDir().mkpath(folder));
    const QString target = QDir::toNativeSeparators(folder + u"/段落 一.txt"_s);

    window_->findChild<QTextEdit *>(u"IArticle"_s)
        ->setPlainText(u"Hello world. This is a test. End."_s);
    window_->findChild<QAbstractButton *>(u"OptAllow1"_s)->click();

    QString offered;
    QString dialogClass;
    const auto named = keepAnswering([&] {
        HWND dialog = findOwnWindow(u"保存文件(*.txt)"_s);
        HWND name = dialog ? findEditHolding(dialog, u"文章分割后内容.txt"_s) : nullptr;
        if (!name)
            return false;
        dialogClass = className(dialog);
        offered = windowText(name);
        SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide(target).c_str()));
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        return true;
    });
    QString confirmation;
    const auto confirmed = keepAnswering([&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return false;
        confirmation = box->text();
        box->accept();
        return true;
    });
    window_->findChild<QAbstractButton *>(u"BtnDo"_s)->click();

    QVERIFY(*named);
    QVERIFY(*confirmed);
    QCOMPARE(dialogClass, u"#32770"_s); // a system dialog, not a Qt window
    QCOMPARE(offered, u"文章分割后内容.txt"_s);
    QCOMPARE(confirmation, u"文件保存成功！"_s);
    QCOMPARE(testfiles::fileBytes(target),
             QByteArray("<p>Hello world.</p><p> This is a </p><p>test. End.</p>"));
}

// tavrinel-cli's messages reach a console as text: a Chinese file name shows correctly even where
// the console's code page is not UTF-8 (936, as on Chinese Windows).
void TestWindows::cliMessageInConsole()
{
    FreeConsole();
    QVERIFY(AllocConsole());
    QVERIFY(SetConsoleOutputCP(936));
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE console =
        CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inheritable, OPEN_EXISTING, 0, nullptr);
    QVERIFY(console != INVALID_HANDLE_VALUE);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = console;
    startup.hStdError = console;
    std::wstring commandLine = L"\"" + nativePath(cliProgram) + L"\" \"缺少 文件.txt\"";
    PROCESS_INFORMATION child{};
    QVERIFY(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                           &startup, &child));
    WaitForSingleObject(child.hProcess, 30000);
    DWORD exitCode = 0;
    GetExitCodeProcess(child.hProcess, &exitCode);
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);

    CONSOLE_SCREEN_BUFFER_INFO buffer{};
    GetConsoleScreenBufferInfo(console, &buffer);
    std::wstring screen(static_cast<std::size_t>(buffer.dwSize.X) * 4, L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(console, screen.data(), static_cast<DWORD>(screen.size()), {0, 0},
                                &read);
    CloseHandle(console);
    FreeConsole();

    QCOMPARE(exitCode, 1u);
    const QString shown =
        withoutDoubledWideCharacters(QString::fromWCharArray(screen.data(), read).simplified());
    QVERIFY2(shown.contains(u"cannot read 缺少 文件.txt: No such file or directory"_s),
             qPrintable(shown));
}

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
