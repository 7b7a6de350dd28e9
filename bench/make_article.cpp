// Writes a sample article of about the given number of bytes to standard output, for timing
// tavrinel-cli on files of a known size and make-up.

#include "sample_article.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s BYTES > article.txt\n", argv[0]);
        return 2;
    }
    const std::string article = sampleArticle(std::strtoull(argv[1], nullptr, 10));
    return std::fwrite(article.data(), 1, article.size(), stdout) == article.size() ? 0 : 1;
}
