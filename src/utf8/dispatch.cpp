#include "simd.h"
#include "x86.h"

namespace tavrinel::utf8
{

namespace
{

constexpr Kernels scalarKernels{validScalar, classifyScalar};
#if TAVRINEL_UTF8_X86
// SSE2 has no byte shuffle for the table look-ups, so its validation is the scalar one, which
// skips ASCII eight bytes at a time.
constexpr Kernels sse2Kernels{validScalar, x86::classifySse2};
constexpr Kernels avx2Kernels{x86::validAvx2, x86::classifyAvx2};
#endif

} // namespace

bool kernelAvailable(Kernel kernel)
{
    switch (kernel) {
    case Kernel::Best:
    case Kernel::Scalar:
        return true;
#if TAVRINEL_UTF8_X86
    case Kernel::Sse2:
        return true;
    case Kernel::Avx2:
        return x86::hasAvx2();
#else
    case Kernel::Sse2:
    case Kernel::Avx2:
        return false;
#endif
    }
    return false;
}

const Kernels &kernelsFor(Kernel kernel)
{
#if TAVRINEL_UTF8_X86
    if (kernel == Kernel::Best)
        kernel = x86::hasAvx2() ? Kernel::Avx2 : Kernel::Sse2;
    if (kernel == Kernel::Avx2 && x86::hasAvx2())
        return avx2Kernels;
    if (kernel == Kernel::Sse2)
        return sse2Kernels;
#endif
    return scalarKernels;
}

} // namespace tavrinel::utf8
