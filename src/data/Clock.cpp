#include "data/Clock.h"

#include "platform/engine/Values.h"

namespace {
std::function<QDateTime()>& source()
{
    static std::function<QDateTime()> s;
    return s;
}
} // namespace

namespace clock_ {

QDateTime now() { return source() ? source()() : engine::values::now(); }

void set(std::function<QDateTime()> s) { source() = std::move(s); }

} // namespace clock_
