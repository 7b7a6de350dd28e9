#include "foldersyncs.h"

#include <vector>

#if !defined(Q_OS_WIN)
#include "descriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace tavrinel
{

#if defined(Q_OS_WIN)

// On Windows each result is made durable by QSaveFile itself.
struct FolderSyncs::Folders {
};

FolderSyncs::FolderSyncs() : d_(std::make_unique<Folders>()) {}
FolderSyncs::~FolderSyncs() = default;

void FolderSyncs::add(int, const QString &) {}

std::optional<FolderSyncs::Failure> FolderSyncs::syncAll()
{
    return std::nullopt;
}

#else

struct FolderSyncs::Folders {
    struct Folder {
        Descriptor readable; // fsync needs more than an O_PATH descriptor
        dev_t device;
        ino_t inode;
        QString name;
    };
    std::vector<Folder> folders;
};

FolderSyncs::FolderSyncs() : d_(std::make_unique<Folders>()) {}
FolderSyncs::~FolderSyncs() = default;

void FolderSyncs::add(int folder, const QString &name)
{
    struct stat info;
    if (::fstat(folder, &info) != 0)
        return;
    for (const Folders::Folder &known : d_->folders) {
        if (known.device == info.st_dev && known.inode == info.st_ino)
            return;
    }
    // A folder that cannot be opened for reading cannot be synced by us at all, as before.
    Descriptor readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (readable.valid())
        d_->folders.push_back({std::move(readable), info.st_dev, info.st_ino, name});
}

std::optional<FolderSyncs::Failure> FolderSyncs::syncAll()
{
    std::optional<Failure> failure;
    for (Folders::Folder &folder : d_->folders) {
        if (::fsync(folder.readable.get()) != 0 && errno != EINVAL && !failure)
            failure = Failure{folder.name, errno};
    }
    d_->folders.clear();
    return failure;
}

#endif

} // namespace tavrinel
