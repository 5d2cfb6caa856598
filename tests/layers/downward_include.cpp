// A connection file that includes from its own folder and the folders below it.
#include "codeset/code_set_state.h"
#include "connection/ftp_connection.h"
#include "records/module_state.h"
#include "util/orr.h"
