// A loadable file that is no server: it exports none of the Dll* entries.
#include "platform/com/Unknown.h"

ORVANTA_EXPORT int BareModuleAnswer() {
    return 42;
}
