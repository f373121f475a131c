#include "util/Error.h"

namespace zq {

QString messageOf(const std::exception& e) {
    if (const auto* error = dynamic_cast<const Error*>(&e))
        return error->message();
    return QString::fromLocal8Bit(e.what());
}

} // namespace zq
