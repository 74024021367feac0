#include "platform/Version.h"

namespace version {

const char* Text() {
    return NOTA_VERSION_STRING;
}

} // namespace version
