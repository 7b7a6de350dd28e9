#include "cli/batch.h"

#include "cli/convert.h"
#include "cli/exitcodes.h"
#include "cli/progress.h"
#include "cli/report.h"
#include "output/displayname.h"
#include "output/fileinfo.h"
#include "output/foldersyncs.h"
#include "output/systemerror.h"

#include <QDir>
#include <QHash>
#include <QSet>
#include <new>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <vector>

using namespace Qt::StringLiterals;

namespace tavrinel::cli
{

namespace
{

// One input of a batch and where its result goes.
struct BatchItem {
    QString input;
    QString output;      // DIR/NAME.txt
    qint64 size = 0;     // bytes, for the progress line
    QString refusal;     // why it is not converted; empty when it is
    bool repeat = false; // the same file was given earlier: converted once only
};

QString shown(const QString &path)
{
    return displayFileName(path);
}

// So that "would this write replace an input?" compares like with like.
QString fileKey(const QString &path)
{
    return canonicalFileName(path);
}

QString refusalFor(const BatchItem &item, const QSet<QString> &inputKeys,
                   const QHash<QString, QString> &claimedBy)
{
    if (inputKeys.contains(fileKey(item.output)))
        return u"not converted: its result %1 would replace an input file"_s.arg(
            shown(item.output));
    if (const auto claimant = claimedBy.constFind(item.output); claimant != claimedBy.cend())
        return u"not converted: its result %1 is already that of %2"_s.arg(shown(item.output),
                                                                           shown(*claimant));
    return {};
}

int failItem(Progress &progress, const Failure &failure)
{
    progress.clear();
    return fail(failure);
}

// A result is always a regular file: a pipe or a device at its name would hold up or swallow it.
// Its folder is synced once, at the end of the batch.
int convertItem(const BatchItem &item, const GenerationSettings &settings, const Reading &reading,
                Progress &progress, FolderSyncs &folders)
{
    if (!item.refusal.isEmpty())
        return failItem(progress, {exitBadInput, shown(item.input) + u": "_s + item.refusal});
    const OutputFile::Options options{true, &folders};
    if (const auto failure = convertToFile(item.input, item.output, settings, reading, options))
        return failItem(progress, *failure);
    return exitOk;
}

// One file's failure, whatever it is, must not end the others.
int convertGuarded(const BatchItem &item, const GenerationSettings &settings,
                   const Reading &reading, Progress &progress, FolderSyncs &folders)
{
    try {
        return convertItem(item, settings, reading, progress, folders);
    } catch (const std::bad_alloc &) {
        return failItem(progress, {exitIoError, shown(item.input) + u": not enough memory"_s});
    } catch (const std::length_error &) {
        return failItem(progress,
                        {exitBadInput, shown(item.input) + u": the article is too long"_s});
    }
}

std::optional<Failure> unusableFolder(const QString &outDir)
{
    const FileKind kind = fileKind(outDir);
    if (kind == FileKind::Folder)
        return std::nullopt;
    return Failure{exitIoError, u"cannot write to %1: %2"_s.arg(
                                    shown(outDir), kind == FileKind::Missing ? u"no such folder"_s
                                                                             : u"not a folder"_s)};
}

// The result's file name: the input's name less its last extension, plus ".txt". A leading dot
// starts a hidden file's name, not an extension.
QString outputName(const QString &input)
{
    const QString path = QDir::fromNativeSeparators(input);
    QString name = path.mid(path.lastIndexOf(u'/') + 1);
    if (const qsizetype dot = name.lastIndexOf(u'.'); dot > 0)
        name.truncate(dot);
    return name + u".txt"_s;
}

// Pairs every input with its result in outDir and refuses what must not be written: a result
// that would replace one of the inputs, or that an earlier input already claims.
std::vector<BatchItem> planBatch(const QStringList &inputs, const QString &outDir)
{
    QSet<QString> inputKeys;
    for (const QString &input : inputs)
        inputKeys.insert(fileKey(input));

    std::vector<BatchItem> items;
    QSet<QString> seen;
    QHash<QString, QString> claimedBy; // result → the input it belongs to
    for (const QString &input : inputs) {
        BatchItem item;
        item.input = input;
        item.output = QDir(outDir).filePath(outputName(input));
        item.size = fileSize(input);
        const QString key = fileKey(input);
        item.repeat = seen.contains(key);
        seen.insert(key);
        if (!item.repeat) {
            item.refusal = refusalFor(item, inputKeys, claimedBy);
            if (item.refusal.isEmpty())
                claimedBy.insert(item.output, input);
        }
        items.push_back(std::move(item));
    }
    return items;
}

} // namespace

std::optional<Failure> convertBatch(const QStringList &inputs, const QString &outDir,
                                    const GenerationSettings &settings, const Reading &reading)
{
    if (auto problem = unusableFolder(outDir))
        return problem;
    const std::vector<BatchItem> items = planBatch(inputs, outDir);
    const qint64 bytes = std::accumulate(
        items.cbegin(), items.cend(), qint64{0},
        [](qint64 sum, const BatchItem &item) { return sum + (item.repeat ? 0 : item.size); });
    Progress progress(inputs.size(), bytes);
    int code = exitOk;
    qsizetype failed = 0;
    FolderSyncs folders;
    for (const BatchItem &item : items) {
        const int itemCode =
            item.repeat ? exitOk : convertGuarded(item, settings, reading, progress, folders);
        failed += itemCode != exitOk;
        code = worseExit(code, itemCode);
        progress.advance(item.repeat ? 0 : item.size);
    }
    progress.finish();
    if (const auto unsynced = folders.syncAll()) {
        report(u"cannot sync the folder %1: %2"_s.arg(unsynced->folder,
                                                      systemErrorText(unsynced->error)));
        code = exitIoError;
    }
    if (code == exitOk)
        return std::nullopt;
    return Failure{code, failed > 0 ? u"%1 of %2 files failed"_s.arg(failed).arg(inputs.size())
                                    : QString()};
}

} // namespace tavrinel::cli
