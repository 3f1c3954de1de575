// Fuzzes the reader of the echo machine's structured reports (DCMTK's dcmsr
// underneath) and the choice of the values Velunor keeps: a damaged file may
// only end in dicom::ReadError.
//
// Build and run (clang 14 with libFuzzer); any report makes a seed, e.g. one
// that the tests write (tests/common/SrDocuments) or an echo machine's:
//   cmake -S fuzz -B /tmp/build-fuzz -DCMAKE_CXX_COMPILER=clang++
//   cmake --build /tmp/build-fuzz --target fuzz_dicom
//   /tmp/build-fuzz/fuzz_dicom /tmp/dicom-corpus -max_total_time=600 -max_len=20000 -timeout=10
#include "platform/dicom/Document.h"
#include "platform/dicom/Sites.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        const dicom::Document document = dicom::read(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        dicom::select(document.measurements);
    } catch (const dicom::ReadError&) {
    }
    return 0;
}
