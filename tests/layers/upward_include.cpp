// A connection file that reaches up to the dialogs: the build of the connection folder must
// not find this header.
#include "ui/prompts.h"
