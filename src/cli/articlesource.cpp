#include "cli/articlesource.h"

#include <cstring>

namespace tavrinel::cli
{

std::optional<std::size_t> ArticleSource::read(char *buffer, std::size_t capacity)
{
    std::size_t got = 0;
    if (aheadUsed_ < ahead_.size()) {
        got = std::min(capacity, static_cast<std::size_t>(ahead_.size() - aheadUsed_));
        std::memcpy(buffer, ahead_.constData() + aheadUsed_, got);
        aheadUsed_ += static_cast<qsizetype>(got);
    } else if (!atEnd_) {
        const qint64 read = input_.read(buffer, static_cast<qint64>(capacity));
        if (read < 0)
            return std::nullopt;
        atEnd_ = read == 0;
        got = static_cast<std::size_t>(read);
    }
    count(buffer, got);
    return got;
}

bool ArticleSource::readHead()
{
    ahead_.resize(headLength);
    qsizetype filled = 0;
    while (filled < headLength && !atEnd_) {
        const qint64 read = input_.read(ahead_.data() + filled, headLength - filled);
        if (read < 0)
            return false;
        atEnd_ = read == 0;
        filled += read;
    }
    ahead_.resize(filled);
    headHitEnd_ = atEnd_;
    return true;
}

std::optional<input::DecodeError> ArticleSource::nulRefusal(Counted counted) const
{
    if (counted == Counted::HandedOut)
        return input::nulRefusal(nuls_, ahead_, headHitEnd_);
    input::NulCounts inHead;
    inHead.add(ahead_);
    return input::nulRefusal(inHead, ahead_, headHitEnd_);
}

std::optional<QByteArray> ArticleSource::readRest()
{
    QByteArray bytes = ahead_.mid(aheadUsed_);
    aheadUsed_ = ahead_.size();
    constexpr qsizetype block = qsizetype{1} << 20;
    for (;;) {
        const qsizetype used = bytes.size();
        bytes.resize(used + block);
        const std::optional<std::size_t> got = read(bytes.data() + used, block);
        bytes.resize(used + static_cast<qsizetype>(got.value_or(0)));
        if (!got)
            return std::nullopt;
        if (*got == 0)
            return bytes;
    }
}

void ArticleSource::restart()
{
    ahead_.clear();
    aheadUsed_ = 0;
    atEnd_ = false;
    headHitEnd_ = false;
    nuls_ = {};
}

void ArticleSource::count(const char *bytes, std::size_t size)
{
    nuls_.add(QByteArrayView(bytes, static_cast<qsizetype>(size)));
}

} // namespace tavrinel::cli
