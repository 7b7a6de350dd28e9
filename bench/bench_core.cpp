// Benchmarks of the paragraph core on sample articles of growing size. The run and the counts
// must grow linearly with the article (see the reported complexity).

#include "checks/checks.h"
#include "generate/run.h"
#include "memorysink.h"
#include "sample_article.h"
#include "utf8/engine.h"

#include <QString>
#include <benchmark/benchmark.h>
#include <cstring>

namespace
{

std::u16string article(std::size_t bytes)
{
    return QString::fromUtf8(sampleArticle(bytes)).toStdU16String();
}

void runWith(benchmark::State &state, const tavrinel::GenerationSettings &chosen)
{
    const std::u16string text = article(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::u16string paragraphs = tavrinel::wrapParagraphs(text, chosen);
        benchmark::DoNotOptimize(paragraphs.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size() * 2));
    state.SetComplexityN(static_cast<std::int64_t>(text.size()));
}

void runByWords(benchmark::State &state)
{
    runWith(state, tavrinel::settingsFor(10, tavrinel::SplitMode::ByCharacters,
                                         tavrinel::Completeness::Word));
}

void runBySentenceEnds(benchmark::State &state)
{
    runWith(state, tavrinel::settingsFor(10, tavrinel::SplitMode::ByCharacters,
                                         tavrinel::Completeness::Sentence));
}

void runBySentences(benchmark::State &state)
{
    runWith(state, tavrinel::settingsFor(10, tavrinel::SplitMode::BySentences,
                                         tavrinel::Completeness::Sentence));
}

// What leaving the article box costs: both counts of the box's text.
void countArticle(benchmark::State &state)
{
    const std::u16string text = article(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(tavrinel::characterCount(text));
        benchmark::DoNotOptimize(tavrinel::sentenceCount(text));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size() * 2));
    state.SetComplexityN(static_cast<std::int64_t>(text.size()));
}

// The UTF-8 engine by word ends, with the kernel of the second argument (1 scalar, 2 SSE2,
// 3 AVX2) and the break rule of the third (1 ascii, 2 cjk): no decoding, the input read and the
// output written in chunks.
void cutUtf8ByWords(benchmark::State &state)
{
    const auto kernel = static_cast<tavrinel::utf8::Kernel>(state.range(1));
    if (!tavrinel::utf8::kernelAvailable(kernel))
        return state.SkipWithError("the processor lacks this kernel's instructions");
    const std::string text = sampleArticle(static_cast<std::size_t>(state.range(0)));
    tavrinel::utf8::EngineOptions options;
    options.kernel = kernel;
    tavrinel::GenerationSettings settings =
        tavrinel::settingsFor(10, tavrinel::SplitMode::ByCharacters, tavrinel::Completeness::Word);
    settings.breaks = static_cast<tavrinel::Breaks>(state.range(2));
    for (auto _ : state) {
        tavrinel::utf8::MemorySource source(text);
        testsupport::MemorySink sink(SIZE_MAX, testsupport::MemorySink::Keep::CountOnly);
        if (!tavrinel::utf8::cut(source, settings, sink, options).ok())
            return state.SkipWithError("the engine failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

constexpr std::int64_t smallest = 1 << 20;
constexpr std::int64_t largest = 64 << 20;

} // namespace

BENCHMARK(runByWords)
    ->RangeMultiplier(8)
    ->Range(smallest, largest)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(runBySentenceEnds)
    ->RangeMultiplier(8)
    ->Range(smallest, largest)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(runBySentences)
    ->RangeMultiplier(8)
    ->Range(smallest, largest)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(countArticle)
    ->RangeMultiplier(8)
    ->Range(smallest, largest)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(cutUtf8ByWords)
    ->ArgsProduct({{16 << 20}, {1, 2, 3}, {1, 2}})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
