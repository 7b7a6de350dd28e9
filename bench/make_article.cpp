// Writes a sample article of about the given number of bytes to standard output, for timing
// tavrinel-cli on files of a known size and make-up: mixed Chinese and English, or with
// `chinese` Chinese only.

#include "sample_article.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char *argv[])
{
    const bool chinese = argc == 3 && std::strcmp(argv[2], "chinese") == 0;
    if (argc != 2 && !chinese) {
        std::fprintf(stderr, "usage: %s BYTES [chinese] > article.txt\n", argv[0]);
        return 2;
    }
    const std::size_t bytes = std::strtoull(argv[1], nullptr, 10);
    const std::string article = chinese ? chineseArticle(bytes) : sampleArticle(bytes);
    return std::fwrite(article.data(), 1, article.size(), stdout) == article.size() ? 0 : 1;
}
