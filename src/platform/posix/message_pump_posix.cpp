#include "platform/message_pump.h"

namespace qp::gui {

// Without a toolkit main loop there is nothing to dispatch.
void PumpPendingMessages() {}

}  // namespace qp::gui
