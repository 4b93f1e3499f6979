#include "design/svg_pen.h"

#include <utility>

namespace vantrel::svg {

void SvgPen::refuseAt(void* pen, std::string message) {
    const SvgPen& self = *static_cast<const SvgPen*>(pen);
    if (self.current_) fail(*self.current_, self.scanner_ ? self.scanner_->pos : 0, std::move(message));
    fail(self.shape_ ? *self.shape_ : self.root_, std::move(message));
}

}  // namespace vantrel::svg
