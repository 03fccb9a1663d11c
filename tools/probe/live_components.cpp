#include "commands.h"

namespace voltrane::probe {

JsonValue readLiveComponents() {
    return JsonValue();
}

} // namespace voltrane::probe
