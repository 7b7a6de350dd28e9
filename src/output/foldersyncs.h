#pragma once

#include <QString>
#include <memory>
#include <optional>

namespace tavrinel
{

// Folders whose new entries are made durable together. Syncing the folder after each of
// thousands of small results costs a journal commit each; the results themselves are still
// synced one by one before they replace anything.
class FolderSyncs
{
public:
    FolderSyncs();
    ~FolderSyncs();
    FolderSyncs(const FolderSyncs &) = delete;
    FolderSyncs &operator=(const FolderSyncs &) = delete;

    // The folder of a descriptor (any kind, O_PATH too), with its name for a message; each
    // folder is kept once.
    void add(int folder, const QString &name);

    struct Failure {
        QString folder;
        int error = 0;
    };
    // Syncs every folder added; the first that failed. A file system that cannot sync folders
    // (EINVAL) is no failure: its entries are as durable as it makes them.
    std::optional<Failure> syncAll();

private:
    struct Folders;
    std::unique_ptr<Folders> d_;
};

} // namespace tavrinel
