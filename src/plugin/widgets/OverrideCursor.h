#pragma once

#include <QApplication>

namespace zq {

// Shows the cursor shape while alive (the hourglass over work, the arrow over a question); puts
// the cursor before it back however the work ends.
class OverrideCursor {
public:
    explicit OverrideCursor(Qt::CursorShape shape) { QApplication::setOverrideCursor(shape); }
    ~OverrideCursor() { QApplication::restoreOverrideCursor(); }
    OverrideCursor(const OverrideCursor&) = delete;
    OverrideCursor& operator=(const OverrideCursor&) = delete;
};

} // namespace zq
