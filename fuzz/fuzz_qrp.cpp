// Fuzzes the reader of saved report pages ("QRP" files). Each input is read
// twice: as it is, and with a correct checksum appended, so that the fuzzer
// gets past the checksum into the header and the pages. Whatever the reader
// accepts must write back to the same bytes and read back to the same pages.
//
// Build and run (clang with libFuzzer):
//   cmake -S fuzz -B /tmp/build-fuzz -DCMAKE_CXX_COMPILER=clang++
//   cmake --build /tmp/build-fuzz --target fuzz_qrp
//   mkdir -p /tmp/qrp-corpus
//   /tmp/build-fuzz/fuzz_qrp /tmp/qrp-corpus -max_total_time=600 -max_len=65536 -timeout=10
#include "platform/reporting/PageFile.h"

#include <QCryptographicHash>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(const QByteArray& data)
{
    QString error;
    const std::vector<reporting::Page> pages = reporting::decodePages(data, &error);
    if (pages.empty()) {
        if (error.isEmpty()) {
            std::fprintf(stderr, "refused without a reason\n");
            std::abort();
        }
        return;
    }
    const QByteArray again = reporting::encodePages(pages);
    if (reporting::decodePages(again, &error) != pages) {
        std::fprintf(stderr, "accepted pages do not read back the same\n");
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    check(input);
    check(input + QCryptographicHash::hash(input, QCryptographicHash::Sha256));
    return 0;
}
