// Fuzzes the reader of the old store's table files: every record and every
// value of the input is read; a damaged file may only end in paradox::Error.
// The input is a .DB file followed by its .MB file; its first four bytes
// (little-endian) say how long the .DB part is.
//
// Build and run (clang 14 with libFuzzer):
//   cmake -S fuzz -B /tmp/build-fuzz -DCMAKE_CXX_COMPILER=clang++
//   cmake --build /tmp/build-fuzz --target fuzz_paradox
//   mkdir -p /tmp/paradox-corpus && cd tests/platform/paradox/data && for t in eco medico AllTypes; do
//     f=$(ls | grep -i "^$t.db$"); m=$(ls | grep -i "^$t.mb$" || true)
//     python3 -c "import sys,struct; d=open(sys.argv[1],'rb').read(); m=open(sys.argv[2],'rb').read() if sys.argv[2] else b''; \
//       sys.stdout.buffer.write(struct.pack('<I',len(d))+d+m)" "$f" "$m" > /tmp/paradox-corpus/$t; done; cd -
//   /tmp/build-fuzz/fuzz_paradox /tmp/paradox-corpus -max_total_time=600 -max_len=70000 -timeout=10
#include "platform/paradox/ParadoxTable.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    uint32_t split;
    std::memcpy(&split, data, 4);
    const size_t rest = size - 4;
    split = rest ? uint32_t(split % (rest + 1)) : 0;
    const QByteArray db(reinterpret_cast<const char*>(data + 4), qsizetype(split));
    const QByteArray mb(reinterpret_cast<const char*>(data + 4 + split), qsizetype(rest - split));
    try {
        paradox::Table table("FUZZ.DB", db, mb);
        while (table.next())
            for (int i = 0; i < int(table.fields().size()); ++i) {
                const QVariant v = table.value(i);
                if (v.typeId() == QMetaType::QByteArray)
                    table.text(v.toByteArray());
            }
    } catch (const paradox::Error&) {
    }
    return 0;
}
