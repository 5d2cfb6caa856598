// xfsopen: a state record that the host prepared becomes a working connection.
#pragma once

#include "connection/connection_hooks.h"

// What every connection the module opens gets as its hooks: the protocol window, the
// module's prompts and AUTODETECT_DLG question, and the listing probe of VMS servers.
extern const ConnectionHooks kModuleHooks;
