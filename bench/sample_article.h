#pragma once

#include <cstddef>
#include <string>

// A UTF-8 article of at least the given number of bytes: English and Chinese sentences mixed,
// with ASCII and full-width punctuation and CR LF line breaks. The same size always gives the
// same article.
std::string sampleArticle(std::size_t bytes);

// A UTF-8 article of at least the given number of bytes in Chinese only: full-width punctuation,
// closing quotes and CR LF line breaks.
std::string chineseArticle(std::size_t bytes);
